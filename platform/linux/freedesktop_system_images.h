#pragma once

#include "platform/system_images.h"

namespace corvane {

/// Symbol images as freedesktop icon names: a fixed table from the symbol
/// names the menu uses to the desktop icons closest in meaning.
class FreedesktopSystemImages final : public SystemImages {
  public:
    /// The icon for `symbolName`, or none for a symbol outside the table.
    std::optional<MenuImage> systemSymbolImage(std::string_view symbolName,
                                               std::string_view accessibilityDescription) override;
};

} // namespace corvane
