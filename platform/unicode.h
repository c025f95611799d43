#pragma once

#include <string_view>

namespace corvane {

/// True when `text` begins with `prefix`, compared as user-perceived
/// characters (extended grapheme clusters): each character of `prefix` must be
/// canonically equivalent to the character of `text` at the same position.
/// Case-sensitive. When either string is not valid UTF-8 the two are compared
/// as bytes.
bool hasCharacterPrefix(std::string_view text, std::string_view prefix);

} // namespace corvane
