#pragma once

#include "platform/alert.h"
#include "platform/file_url.h"

#include <cstdint>
#include <functional>
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

/// An untitled file's place in a folder, and its number.
struct UntitledFile {
    std::int64_t number = 0;
    FileURL url;
};

/// The lowest-numbered untitled file in `folder`, from `firstNumber` on, for
/// which `exists` (given the path) is false. Gaps are taken.
UntitledFile firstFreeUntitledFile(const FileURL& folder,
                                   const std::function<bool(std::string_view)>& exists,
                                   std::int64_t firstNumber = 0);

/// The alert that asks the user to grant access to the folder named
/// `folderName` in the companion app.
Alert permissionAlert(std::string_view folderName);

} // namespace corvane
