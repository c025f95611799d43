#pragma once

#include "extension/batchrename/rename_engine.h"
#include "platform/plist_value.h"

#include <string>

namespace corvane {

/// Logged, with the error's description, when a result cannot be stored.
inline constexpr std::string_view kResultNotStoredLinePrefix =
    "Failed to store batch rename result: ";

/// The result notification's user info: { "successCount", "failures" }.
PlistDictionary batchRenameResultUserInfo(const BatchRenameOutcome& outcome);

/// The result record: a fresh "id", then "successCount" and "failures".
PlistDictionary batchRenameResultRecord(std::string id, const BatchRenameOutcome& outcome);

} // namespace corvane
