#pragma once

#include "platform/error.h"
#include "platform/plist_value.h"

#include <string>
#include <string_view>

namespace corvane::plist {

/// Deepest nesting of arrays and dictionaries the reader accepts.
inline constexpr int kMaxDepth = 512;

/// Reads a property list in either format (binary "bplist00" or XML). Fails
/// with a readable description on anything malformed: truncated or random
/// bytes, bad offsets, reference cycles, nesting deeper than `kMaxDepth`,
/// strings that are not valid UTF-8, keys that hold a NUL byte or are not
/// strings. Never aborts.
Expected<PlistValue> read(std::string_view bytes);

/// Writes a binary property list ("bplist00"). Fails when a string or key is
/// not valid UTF-8.
Expected<std::string> writeBinary(const PlistValue& value);

/// Writes an XML property list (version 1.0, UTF-8). Fails when a string or
/// key is not valid UTF-8 or holds a character XML 1.0 cannot carry.
Expected<std::string> writeXml(const PlistValue& value);

} // namespace corvane::plist
