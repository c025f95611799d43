#pragma once

#include "platform/alert.h"
#include "platform/file_url.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr std::string_view kNoTargetDirectoryLine = "Could not get target directory";
/// Followed by the new file's path.
inline constexpr std::string_view kCreatedFileLinePrefix = "SUCCESS: Created file at ";
/// Followed by the error's description.
inline constexpr std::string_view kCreateFileFailedLinePrefix = "Failed to create file: ";

/// The name of the untitled file numbered `number`: "Untitled.txt" for 0,
/// else "Untitled <number>.txt".
std::string untitledFileName(std::int64_t number);

/// The alert that asks the user to grant access to the folder named
/// `folderName` in the companion app.
Alert permissionAlert(std::string_view folderName);

} // namespace corvane
