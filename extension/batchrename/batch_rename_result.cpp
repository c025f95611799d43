#include "extension/batchrename/batch_rename_result.h"

#include "extension/companion_contract.h"

namespace corvane {

PlistDictionary batchRenameResultUserInfo(const BatchRenameOutcome& outcome) {
    return PlistDictionary{
        {std::string(contract::kSuccessCountKey), outcome.successCount},
        {std::string(contract::kFailuresKey),
         PlistArray(outcome.failures.begin(), outcome.failures.end())},
    };
}

PlistDictionary batchRenameResultRecord(std::string id, const BatchRenameOutcome& outcome) {
    PlistDictionary record{{std::string(contract::kRecordIdKey), std::move(id)}};
    for (const auto& [key, value] : batchRenameResultUserInfo(outcome))
        record.appendNew(key, value);
    return record;
}

} // namespace corvane
