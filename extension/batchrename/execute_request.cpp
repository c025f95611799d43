#include "extension/batchrename/execute_request.h"

#include "extension/companion_contract.h"

namespace corvane {

std::optional<ExecuteRequest> readExecuteRequest(const PlistDictionary& fields) {
    const PlistValue* baseName = fields.find(contract::kBaseNameKey);
    const PlistValue* paths = fields.find(contract::kPathsKey);
    if (!baseName || !baseName->isString() || !paths || !paths->isArray() ||
        paths->asArray().empty())
        return std::nullopt;
    ExecuteRequest request{baseName->asString(), {}};
    request.paths.reserve(paths->asArray().size());
    for (const PlistValue& path : paths->asArray()) {
        if (!path.isString())
            return std::nullopt;
        request.paths.push_back(path.asString());
    }
    return request;
}

TickDecision decideTick(const std::optional<PlistDictionary>& record,
                        const std::optional<std::string>& rememberedId) {
    if (!record)
        return {};
    TickDecision decision;
    if (const PlistValue* id = record->find(contract::kRecordIdKey); id && id->isString()) {
        if (id->asString() == rememberedId)
            return {};
        decision.rememberId = id->asString();
    }
    decision.execute = readExecuteRequest(*record);
    return decision;
}

} // namespace corvane
