#pragma once

#include "platform/plist_value.h"

#include <string>
#include <string_view>

// Every name and key shared with the companion app, defined once.
namespace corvane::contract {

/// The App Group: name of the shared settings suite and of the shared container.
inline constexpr std::string_view kAppGroupId = "group.Brenvo.Corvane";

// Keys of the shared settings suite.
inline constexpr std::string_view kMenuOptionsKey = "contextMenuOptions";
inline constexpr std::string_view kSecuredDirectoriesKey = "securedDirectories";
inline constexpr std::string_view kAppRunningKey = "appIsRunning";
inline constexpr std::string_view kBatchRenameRequestKey = "batchRenameRequest";
inline constexpr std::string_view kBatchRenameExecuteKey = "batchRenameExecuteRequest";
inline constexpr std::string_view kBatchRenameResultKey = "batchRenameResult";

// Keys of the menu options, one per command, in menu order.
inline constexpr std::string_view kNewTextFileOption = "newTextFile";
inline constexpr std::string_view kNewTerminalHereOption = "newTerminalHere";
inline constexpr std::string_view kNewITermHereOption = "newITermHere";
inline constexpr std::string_view kCopyPathOption = "copyPath";
inline constexpr std::string_view kBatchRenameOption = "batchRename";
inline constexpr std::string_view kToggleHiddenFilesOption = "toggleHiddenFiles";
inline constexpr std::string_view kOpenInVSCodeOption = "openInVSCode";

// The options file in the App Group container.
inline constexpr std::string_view kMenuOptionsFileName = "MenuOptions.plist";

// Distributed notification names.
inline constexpr std::string_view kBatchRenameRequestNotification = "Corvane.BatchRenameRequest";
inline constexpr std::string_view kBatchRenameExecuteNotification = "Corvane.BatchRenameExecute";
inline constexpr std::string_view kBatchRenameResultNotification = "Corvane.BatchRenameResult";
inline constexpr std::string_view kHiddenFilesToggleNotification = "Corvane.HiddenFilesToggle";
inline constexpr std::string_view kOpenInVSCodeNotification = "Corvane.OpenInVSCode";

// Keys of the feedback record posted to the companion app.
inline constexpr std::string_view kFeedbackMessageKey = "message";
inline constexpr std::string_view kFeedbackIsErrorKey = "isError";

/// The feedback record the extension posts: "isError" true, and `message`.
inline PlistDictionary errorFeedbackRecord(std::string message) {
    return PlistDictionary{{std::string(kFeedbackIsErrorKey), true},
                           {std::string(kFeedbackMessageKey), std::move(message)}};
}

// Keys of the batch-rename records and notifications; the request record's
// error form also carries the feedback record's two keys.
inline constexpr std::string_view kRecordIdKey = "id";
inline constexpr std::string_view kPathsKey = "paths";
inline constexpr std::string_view kBaseNameKey = "baseName";
inline constexpr std::string_view kSuccessCountKey = "successCount";
inline constexpr std::string_view kFailuresKey = "failures";

} // namespace corvane::contract
