#include "extension/batchrename/batch_rename_request.h"

#include "extension/companion_contract.h"

namespace corvane {

namespace {

PlistArray stringArray(const std::vector<std::string>& strings) {
    return PlistArray(strings.begin(), strings.end());
}

} // namespace

PlistDictionary batchRenameRequestUserInfo(const std::vector<std::string>& paths) {
    return PlistDictionary{{std::string(contract::kPathsKey), stringArray(paths)}};
}

PlistDictionary batchRenameRequestRecord(std::string id, const std::vector<std::string>& paths,
                                         BatchRenameRequestForm form, std::string_view message) {
    return PlistDictionary{
        {std::string(contract::kRecordIdKey), std::move(id)},
        {std::string(contract::kPathsKey), stringArray(paths)},
        {std::string(contract::kFeedbackIsErrorKey), form == BatchRenameRequestForm::Error},
        {std::string(contract::kFeedbackMessageKey), std::string(message)},
    };
}

} // namespace corvane
