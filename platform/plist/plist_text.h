#pragma once

// The text forms of data and dates in property lists, shared by the XML
// codec and everything else that writes those values as text.

#include "platform/plist_value.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane::plist {

/// `bytes` in standard base64, padded.
std::string encodeBase64(std::string_view bytes);

/// The bytes of base64 `text`. White space may stand anywhere; padding is
/// optional but nothing may follow it. None when `text` is not base64.
std::optional<std::string> decodeBase64(std::string_view text);

/// How much of a second a date's text shows.
enum class DatePrecision {
    /// Whole seconds, rounded down.
    Seconds,
    /// Milliseconds, rounded to the nearest; the fraction only when not zero.
    Milliseconds,
};

/// `date` as ISO 8601 UTC text, such as "2001-01-01T00:00:00Z"; none when it
/// lies outside the years 1 to 9999 or is not a number.
std::optional<std::string> formatDate(const PlistDate& date, DatePrecision precision);

/// The date of text of exactly the form "YYYY-MM-DDTHH:MM:SSZ"; none for any
/// other text or a day or time that does not exist.
std::optional<PlistDate> parseDate(std::string_view text);

} // namespace corvane::plist
