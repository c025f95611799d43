#pragma once

#include "platform/file_url.h"

#include <functional>
#include <string_view>

namespace corvane {

/// Where a terminal application is looked for: the preferred path, used when
/// something exists there, else the fallback, used untested.
struct TerminalApplication {
    std::string_view preferredPath;
    std::string_view fallbackPath;
};

inline constexpr TerminalApplication kTerminalApplication{
    "/System/Applications/Utilities/Terminal.app", "/Applications/Utilities/Terminal.app"};
inline constexpr TerminalApplication kITermApplication{"/Applications/iTerm.app",
                                                       "/Applications/iTerm 2.app"};

/// The application to open a folder with: `application`'s preferred path when
/// `exists` finds it, else its fallback path.
FileURL chooseTerminalApplication(const TerminalApplication& application,
                                  const std::function<bool(std::string_view)>& exists);

} // namespace corvane
