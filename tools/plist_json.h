#pragma once

#include "platform/plist_value.h"

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace corvane::json {

/// `text` as a JSON string literal, quotes included. Quotes, backslashes and
/// control characters are escaped; bytes that are not valid UTF-8 become
/// U+FFFD, so the result is always valid JSON.
std::string quote(std::string_view text);

/// `value` as one line of JSON. Booleans, integers and strings map directly;
/// reals are numbers written to round-trip (always with a fraction or an
/// exponent, so they read back as reals), NaN and infinities are null; data
/// is a base64 string; a date is an ISO 8601 UTC string such as
/// "2001-01-01T00:00:00Z" (with milliseconds when it has a fraction), null
/// when it lies beyond the years 0001 to 9999; dictionaries keep their order.
std::string toJson(const PlistValue& value);

/// JSON's null, for what a property list cannot hold.
inline constexpr char kNull[] = "null";

/// A JSON object of `members` in their order: each a key and the JSON text of
/// its value. For shapes a property list cannot take, such as a null member.
std::string object(std::initializer_list<std::pair<std::string_view, std::string_view>> members);

/// A JSON array of `elements`, each the JSON text of a value.
std::string array(std::span<const std::string> elements);

} // namespace corvane::json
