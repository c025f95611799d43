#pragma once

#include <string_view>

namespace corvane {

// The feedback messages of "Open in Visual Studio Code", sent to the companion app.
inline constexpr std::string_view kVSCodeNotInstalledMessage =
    "Visual Studio Code is not installed.";
inline constexpr std::string_view kVSCodeNothingToOpenMessage =
    "Select a file or folder in Finder to open in VS Code.";
/// Followed directly by the error's description.
inline constexpr std::string_view kVSCodeOpenFailedPrefix = "Failed to open in VS Code: ";

} // namespace corvane
