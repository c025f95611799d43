#pragma once

#include "platform/plist_value.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

/// The one message of a refused batch-rename request.
inline constexpr std::string_view kTooFewItemsForBatchRename =
    "Select at least two items in Finder to use Batch Rename.";

/// Logged, with the error's description, when a request cannot be stored.
inline constexpr std::string_view kRequestNotStoredLinePrefix =
    "Failed to store batch rename request: ";
/// The error feedback record's message when a request could neither be
/// stored nor its predecessor removed.
inline constexpr std::string_view kRequestNotStoredMessage =
    "The selection could not be handed to Corvane+. Please try again.";

/// Which form a batch-rename request takes.
enum class BatchRenameRequestForm {
    /// The selected paths, for the companion app's rename dialog.
    Request,
    /// An error message for the user instead.
    Error,
};

/// The request notification's user info: { "paths": `paths` }.
PlistDictionary batchRenameRequestUserInfo(const std::vector<std::string>& paths);

/// The request record: "id", "paths", "isError" (true for the error form)
/// and "message".
PlistDictionary batchRenameRequestRecord(std::string id, const std::vector<std::string>& paths,
                                         BatchRenameRequestForm form, std::string_view message);

} // namespace corvane
