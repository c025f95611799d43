#pragma once

#include "platform/plist_value.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

/// What the companion app asks to rename, and how.
struct ExecuteRequest {
    std::string baseName;
    /// The items' paths, in the companion app's order.
    std::vector<std::string> paths;

    bool operator==(const ExecuteRequest&) const = default;
};

/// The request that an execute notification's user info or an execute record
/// carries: none unless "baseName" is a string and "paths" a non-empty array
/// of strings. Other keys are ignored.
std::optional<ExecuteRequest> readExecuteRequest(const PlistDictionary& fields);

/// What one tick of the poll timer does with the execute record it found.
struct TickDecision {
    /// The record's id, when it is to be remembered from now on.
    std::optional<std::string> rememberId;
    /// The request to carry out; the result is then stored and the record
    /// removed. None leaves the record where it is.
    std::optional<ExecuteRequest> execute;

    bool operator==(const TickDecision&) const = default;
};

/// One tick, given the stored execute record (none when there is none) and
/// the id remembered from earlier ticks. A record whose string "id" equals
/// `rememberedId` is skipped; a new string id is remembered whether or not
/// the rest of the record is valid; a record without a string id is examined
/// afresh every time and carried out whenever it is valid.
TickDecision decideTick(const std::optional<PlistDictionary>& record,
                        const std::optional<std::string>& rememberedId);

} // namespace corvane
