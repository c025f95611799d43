#include "platform/unicode.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

namespace {

const utf8proc_uint8_t* bytesOf(std::string_view text) {
    return reinterpret_cast<const utf8proc_uint8_t*>(text.data());
}

/// `text` cut into extended grapheme clusters; none when it is not valid UTF-8.
std::optional<std::vector<std::string_view>> graphemeClusters(std::string_view text) {
    std::vector<std::string_view> clusters;
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    utf8proc_ssize_t position = 0;
    utf8proc_ssize_t clusterStart = 0;
    utf8proc_int32_t previous = -1;
    // The break rules for emoji sequences and regional-indicator pairs need
    // state carried along the whole string.
    utf8proc_int32_t state = 0;
    while (position < size) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t length =
            utf8proc_iterate(bytesOf(text) + position, size - position, &codepoint);
        if (length <= 0)
            return std::nullopt;
        if (previous >= 0 && utf8proc_grapheme_break_stateful(previous, codepoint, &state)) {
            clusters.push_back(text.substr(static_cast<std::size_t>(clusterStart),
                                           static_cast<std::size_t>(position - clusterStart)));
            clusterStart = position;
        }
        previous = codepoint;
        position += length;
    }
    if (size > 0)
        clusters.push_back(text.substr(static_cast<std::size_t>(clusterStart)));
    return clusters;
}

/// The canonical composition (NFC) of valid UTF-8. utf8proc_map is given the
/// length, so an embedded NUL does not end the text early.
std::optional<std::string> composed(std::string_view text) {
    utf8proc_uint8_t* output = nullptr;
    utf8proc_ssize_t length =
        utf8proc_map(bytesOf(text), static_cast<utf8proc_ssize_t>(text.size()), &output,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(output, &std::free);
    if (length < 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(output), static_cast<std::size_t>(length));
}

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

CharacterText::CharacterText(std::string_view text)
    : bytes_(text), ascii_(isAscii(text)), valid_(true) {
    if (ascii_)
        return;
    auto clusters = graphemeClusters(text);
    if (!clusters) {
        valid_ = false;
        return;
    }
    characters_.reserve(clusters->size());
    ends_.reserve(clusters->size());
    for (std::string_view cluster : *clusters) {
        characters_.push_back(isAscii(cluster) ? std::string(cluster)
                                               : composed(cluster).value_or(std::string(cluster)));
        joined_ += characters_.back();
        ends_.push_back(joined_.size());
    }
}

std::string_view CharacterText::nextCharacter(std::size_t& position) const {
    if (!ascii_)
        return position < characters_.size() ? std::string_view(characters_[position++])
                                             : std::string_view();
    if (position >= bytes_.size())
        return {};
    // After an ASCII character only a LF after a CR stays in the same one.
    const std::size_t length =
        bytes_[position] == '\r' && position + 1 < bytes_.size() && bytes_[position + 1] == '\n'
            ? 2
            : 1;
    position += length;
    return std::string_view(bytes_).substr(position - length, length);
}

bool CharacterText::beginsWith(const CharacterText& prefix) const {
    if (prefix.bytes_.empty())
        return true;
    // File names on Linux are bytes and need not be UTF-8.
    if (!valid_ || !prefix.valid_)
        return std::string_view(bytes_).starts_with(prefix.bytes_);
    // Most paths are ASCII: then a byte comparison decides, but for a CR LF
    // pair cut in two. (Other text, such as U+212A KELVIN SIGN, may be
    // equivalent to ASCII, so mixed pairs compare composed characters.)
    if (ascii_ && prefix.ascii_)
        return std::string_view(bytes_).starts_with(prefix.bytes_) &&
               !(prefix.bytes_.back() == '\r' && bytes_.size() > prefix.bytes_.size() &&
                 bytes_[prefix.bytes_.size()] == '\n');
    // An ASCII prefix is one byte per character (a CR LF pair is two on both
    // sides), so matching bytes that end where a character ends decide.
    if (prefix.ascii_)
        return std::string_view(joined_).starts_with(prefix.bytes_) &&
               std::ranges::binary_search(ends_, prefix.bytes_.size());
    std::size_t own = 0, theirs = 0;
    for (;;) {
        const std::string_view wanted = prefix.nextCharacter(theirs);
        if (wanted.empty())
            return true;
        if (nextCharacter(own) != wanted)
            return false;
    }
}

bool hasCharacterPrefix(std::string_view text, std::string_view prefix) {
    return CharacterText(text).beginsWith(CharacterText(prefix));
}

std::string canonicalOrderKey(std::string_view text) {
    // ASCII is its own composition; most paths are, and skip the allocation
    // and table walk of utf8proc_map.
    if (isAscii(text))
        return std::string(text);
    if (std::optional<std::string> key = composed(text))
        return std::move(*key);
    return std::string(text);
}

std::size_t utf8SequenceLength(std::string_view text) {
    if (text.empty())
        return 0;
    utf8proc_int32_t codepoint = 0;
    utf8proc_ssize_t length =
        utf8proc_iterate(bytesOf(text), static_cast<utf8proc_ssize_t>(text.size()), &codepoint);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

bool isValidUTF8(std::string_view text) {
    while (!text.empty()) {
        std::size_t length = utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

} // namespace corvane
