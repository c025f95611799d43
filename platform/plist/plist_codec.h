#pragma once

#include "platform/error.h"
#include "platform/plist_value.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::plist {

/// Deepest nesting of arrays and dictionaries the reader accepts.
inline constexpr int kMaxDepth = 512;

/// Most values (of any kind, dictionary keys included) one read may produce.
/// A binary list can reference one sub-object many times; this bound keeps
/// such input from building an enormous tree.
inline constexpr std::size_t kMaxValues = 4'000'000;

/// Reads a property list in either format (binary "bplist00" or XML). Fails
/// with a readable description on anything malformed: truncated or random
/// bytes, bad offsets, reference cycles, nesting deeper than `kMaxDepth`,
/// strings that are not valid UTF-8, keys that hold a NUL byte or are not
/// strings. Never aborts. When a dictionary holds the same key twice, the
/// last value wins and the key keeps the position of its first appearance.
/// Binary null and fill objects, UIDs and sets have no counterpart in
/// `PlistValue` and make the input unreadable, as do integers outside int64.
Expected<PlistValue> read(std::string_view bytes);

/// Writes a binary property list ("bplist00"). Fails when a string or key is
/// not valid UTF-8, or when arrays and dictionaries nest deeper than
/// `kMaxDepth` (the reader would refuse the result).
Expected<std::string> writeBinary(const PlistValue& value);

/// Writes an XML property list (version 1.0, UTF-8). Fails when a string or
/// key is not valid UTF-8 or holds a character XML 1.0 cannot carry, when a
/// date lies outside the years 1 to 9999, or when nesting exceeds
/// `kMaxDepth`. Dates are written to the whole second, as the format allows.
Expected<std::string> writeXml(const PlistValue& value);

} // namespace corvane::plist
