#pragma once

#include <cstddef>
#include <string_view>

namespace corvane {

/// True when `text` begins with `prefix`, compared as user-perceived
/// characters (extended grapheme clusters): each character of `prefix` must be
/// canonically equivalent to the character of `text` at the same position.
/// Case-sensitive. When either string is not valid UTF-8 the two are compared
/// as bytes.
bool hasCharacterPrefix(std::string_view text, std::string_view prefix);

/// The length in bytes of the well-formed UTF-8 sequence that starts `text`;
/// 0 when `text` is empty or starts with anything else (an overlong form, a
/// surrogate, a value above U+10FFFF, a cut-off sequence).
std::size_t utf8SequenceLength(std::string_view text);

/// True when the whole of `text` is well-formed UTF-8. A NUL byte is a valid
/// character here; callers that cannot carry one check for it themselves.
bool isValidUTF8(std::string_view text);

} // namespace corvane
