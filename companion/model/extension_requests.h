#pragma once

// What the extension asks of the companion app, read from its notifications
// and records, and the answers the app gives.

#include "platform/plist_value.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvane::companion {

/// Items to rename, in the order the file manager listed them. A path that
/// is not UTF-8 arrives as data and is kept as its bytes.
struct RenameRequest {
    std::vector<std::string> paths;
    bool operator==(const RenameRequest&) const = default;
};

/// A message for the user (a feedback record).
struct FeedbackMessage {
    std::string text;
    bool operator==(const FeedbackMessage&) const = default;
};

/// What a request asks for; `std::monostate` when it asks for nothing this
/// app knows.
using ExtensionRequest = std::variant<std::monostate, RenameRequest, FeedbackMessage>;

/// Reads a batch-rename request (notification user info or stored record)
/// or a feedback record: "isError" true, or "message" without "paths", is a
/// message; a "paths" array with at least one string or data element is a
/// rename request (other elements are left out).
ExtensionRequest readExtensionRequest(const PlistDictionary& userInfo);

/// The "id" of a stored record, when it is a string.
std::optional<std::string> recordId(const PlistDictionary& record);

/// The execute notification's user info: { "baseName", "paths" }.
PlistDictionary executeUserInfo(std::string_view baseName, const std::vector<std::string>& paths);

/// A desktop notification's texts.
struct NotificationText {
    std::string summary;
    std::string body;
    bool operator==(const NotificationText&) const = default;
};

/// What a result notification { "successCount", "failures" } tells a person:
/// how many items were renamed, and the names of those that were not. Names
/// that are not UTF-8 are shown with U+FFFD for their stray bytes.
NotificationText renameResultText(const PlistDictionary& userInfo);

} // namespace corvane::companion
