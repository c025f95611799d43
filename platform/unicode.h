#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

/// A text taken as user-perceived characters (extended grapheme clusters),
/// each in its canonical composition: worked out once, so that one text can
/// be compared with many others.
class CharacterText {
  public:
    explicit CharacterText(std::string_view text);

    /// True when this text begins with `prefix`: each character of `prefix`
    /// canonically equivalent to the character of this text at the same
    /// position. Case-sensitive. When either text is not valid UTF-8 the two
    /// are compared as bytes.
    bool beginsWith(const CharacterText& prefix) const;

  private:
    /// The character at `position` (an index into `characters_`, or a byte
    /// offset for ASCII text, whose characters are not kept ahead), moving
    /// `position` past it; empty at the end.
    std::string_view nextCharacter(std::size_t& position) const;

    std::string bytes_;
    bool ascii_;
    bool valid_;
    /// Composed characters, for valid text that is not ASCII: one by one,
    /// joined, and where each ends in the joined text.
    std::vector<std::string> characters_;
    std::string joined_;
    std::vector<std::size_t> ends_;
};

/// `CharacterText(text).beginsWith(CharacterText(prefix))`.
bool hasCharacterPrefix(std::string_view text, std::string_view prefix);

/// The length in bytes of the well-formed UTF-8 sequence that starts `text`;
/// 0 when `text` is empty or starts with anything else (an overlong form, a
/// surrogate, a value above U+10FFFF, a cut-off sequence).
std::size_t utf8SequenceLength(std::string_view text);

/// The key that puts texts in Unicode canonical order when keys are compared
/// as byte strings (`std::string`'s `<` compares unsigned bytes). For valid
/// UTF-8 it is the canonical composition (NFC), whose UTF-8 bytes compare as
/// its Unicode scalars do: a text sorts before the texts it is a prefix of,
/// and there is no case folding, locale or numeric reading of digits. A text
/// that is not valid UTF-8 (a Linux file name may be any bytes) is its own
/// key, so it takes its place among the others by plain byte order. The
/// order is total; only canonically equivalent texts get equal keys, and a
/// stable sort keeps those in their given order.
std::string canonicalOrderKey(std::string_view text);

/// True when the whole of `text` is well-formed UTF-8. A NUL byte is a valid
/// character here; callers that cannot carry one check for it themselves.
bool isValidUTF8(std::string_view text);

} // namespace corvane
