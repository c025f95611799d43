#pragma once

#include "platform/menu.h"

#include <optional>
#include <string_view>

namespace corvane {

/// Images for menu items, looked up by system symbol name.
class SystemImages {
  public:
    virtual ~SystemImages() = default;
    /// The image for `symbolName`, or none when the system has no such symbol.
    virtual std::optional<MenuImage>
    systemSymbolImage(std::string_view symbolName, std::string_view accessibilityDescription) = 0;
};

} // namespace corvane
