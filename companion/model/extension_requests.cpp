#include "companion/model/extension_requests.h"

#include "extension/companion_contract.h"
#include "platform/unicode.h"

namespace corvane::companion {

namespace {

const std::string* stringAt(const PlistDictionary& dictionary, std::string_view key) {
    const PlistValue* value = dictionary.find(key);
    return value && value->isString() ? &value->asString() : nullptr;
}

/// A string or the bytes of data, as names and paths that are not UTF-8 arrive.
const std::string* textOrBytes(const PlistValue& value) {
    if (value.isString())
        return &value.asString();
    return value.isData() ? &value.asData().bytes : nullptr;
}

std::string displayable(std::string_view text) {
    std::string shown;
    while (!text.empty()) {
        std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            shown += "\xEF\xBF\xBD";
            length = 1;
        } else {
            shown += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return shown;
}

} // namespace

ExtensionRequest readExtensionRequest(const PlistDictionary& userInfo) {
    const PlistValue* isError = userInfo.find(contract::kFeedbackIsErrorKey);
    const PlistValue* paths = userInfo.find(contract::kPathsKey);
    const std::string* message = stringAt(userInfo, contract::kFeedbackMessageKey);
    if (isError && isError->flagValue().value_or(false))
        return FeedbackMessage{message ? displayable(*message) : std::string()};
    if (paths && paths->isArray()) {
        RenameRequest request;
        for (const PlistValue& path : paths->asArray()) {
            if (const std::string* text = textOrBytes(path))
                request.paths.push_back(*text);
        }
        if (!request.paths.empty())
            return request;
    }
    if (!paths && message && !message->empty())
        return FeedbackMessage{displayable(*message)};
    return std::monostate{};
}

std::optional<std::string> recordId(const PlistDictionary& record) {
    const std::string* id = stringAt(record, contract::kRecordIdKey);
    return id ? std::optional<std::string>(*id) : std::nullopt;
}

PlistDictionary executeUserInfo(std::string_view baseName, const std::vector<std::string>& paths) {
    PlistArray array(paths.begin(), paths.end());
    return PlistDictionary{{std::string(contract::kBaseNameKey), std::string(baseName)},
                           {std::string(contract::kPathsKey), std::move(array)}};
}

NotificationText renameResultText(const PlistDictionary& userInfo) {
    const PlistValue* count = userInfo.find(contract::kSuccessCountKey);
    const PlistValue* failures = userInfo.find(contract::kFailuresKey);
    NotificationText text;
    if (count && count->isInteger())
        text.summary = count->asInteger() == 1
                           ? "Renamed 1 item"
                           : "Renamed " + std::to_string(count->asInteger()) + " items";
    else
        text.summary = "Batch Rename finished";
    std::string names;
    if (failures && failures->isArray()) {
        for (const PlistValue& name : failures->asArray()) {
            if (const std::string* bytes = textOrBytes(name))
                names += (names.empty() ? "" : ", ") + displayable(*bytes);
        }
    }
    if (!names.empty())
        text.body = "Not renamed: " + names;
    return text;
}

} // namespace corvane::companion
