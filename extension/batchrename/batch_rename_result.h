#pragma once

#include "extension/batchrename/rename_engine.h"
#include "platform/plist_value.h"

#include <string>

namespace corvane {

/// The result notification's user info: { "successCount", "failures" }.
PlistDictionary batchRenameResultUserInfo(const BatchRenameOutcome& outcome);

/// The result record: a fresh "id", then "successCount" and "failures".
PlistDictionary batchRenameResultRecord(std::string id, const BatchRenameOutcome& outcome);

} // namespace corvane
