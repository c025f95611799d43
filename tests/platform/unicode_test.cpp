#include "platform/unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace corvane {
namespace {

using namespace std::string_literals;

TEST(CharacterPrefix, MatchesPerUserPerceivedCharacterAndBytesWhenNotUtf8) {
    // "é" precomposed is U+00E9; decomposed it is "e" followed by U+0301.
    const std::string pre = "\xC3\xA9", de = "e\xCC\x81";
    const std::tuple<const char*, std::string, std::string, bool> cases[] = {
        {"equal", "/Users/a/b", "/Users/a/b", true},
        {"child", "/Users/a/b/c", "/Users/a/b", true},
        {"sibling sharing the name", "/Users/a/bc", "/Users/a/b", true},
        {"parent", "/Users/a", "/Users/a/b", false},
        {"case differs", "/Users/A/b", "/Users/a/b", false},
        {"root", "/anything/at/all", "/", true},
        {"decomposed text, precomposed prefix", "/caf" + de + "/x", "/caf" + pre, true},
        {"precomposed text, decomposed prefix", "/caf" + pre, "/caf" + de, true},
        // Byte-wise, "/cafe" is a prefix of "/cafe\u0301"; as characters it is not.
        {"bare base letter before a combining mark", "/caf" + de + "/x", "/cafe", false},
        {"bare base letter at the end", "/caf" + de, "/cafe", false},
        // Hangul syllable U+AC00 and its jamo U+1100 U+1161.
        {"jamo against syllable", "/\xE1\x84\x80\xE1\x85\xA1/x", "/\xEA\xB0\x80", true},
        // A flag is one character: one regional indicator does not start it.
        {"half a flag", "/\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", "/\xF0\x9F\x87\xA9", false},
        // Family emoji joined by U+200D: the man alone is not its first character.
        {"emoji ZWJ sequence", "/\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9", "/\xF0\x9F\x91\xA8",
         false},
        {"CR LF is one character", "/a\r\n", "/a\r", false},
        {"CR then another character", "/a\rb", "/a\r", true},
        // U+212A KELVIN SIGN is canonically "K".
        {"ASCII prefix, equivalent text that is not ASCII", "/\xE2\x84\xAA/x", "/K", true},
        {"invalid text, bytes", "/data/\xFF\xFE/x", "/data/\xFF\xFE", true},
        {"invalid prefix, bytes", "/data/\xFFz", "/data/\xFE", false},
        {"overlong encoding is invalid", "/\xC0\xAF/x", "/\xC0\xAF", true},
        // Text after a NUL byte still takes part in the comparison.
        {"after NUL, equivalent", "/a\0e\xCC\x81"s, "/a\0\xC3\xA9"s, true},
        {"after NUL, differs", "/a\0x"s, "/a\0y"s, false},
    };
    for (const auto& [name, text, prefix, expected] : cases)
        EXPECT_EQ(hasCharacterPrefix(text, prefix), expected) << name;
}

TEST(CanonicalOrder, ComparesComposedScalarsThenBytesWhenNotUtf8) {
    // Each row sorts strictly before the next.
    const std::string ascending[] = {
        "/d/IMG10.jpg", // digits are not read as numbers
        "/d/IMG2.jpg",
        "/d/Zebra.txt", // upper case before lower case: no folding
        "/d/a",
        "/d/a.txt", // a prefix first
        "/d/a\xFF", // not UTF-8: by its bytes, among the others
        "/d/b",
        "/d/e\xCC\x81z",               // decomposed é (U+00E9 once composed) ...
        "/d/\xC3\xA9\xF0\x9F\x98\x80", // ... before é + U+1F600
        "/d/\xEF\xBC\xA1",             // U+FF21 before U+1F600 although UTF-16 would differ
        "/d/\xF0\x9F\x98\x80",
        "/d/\xFF",
    };
    for (std::size_t i = 0; i + 1 < std::size(ascending); ++i)
        EXPECT_LT(canonicalOrderKey(ascending[i]), canonicalOrderKey(ascending[i + 1]))
            << ascending[i] << " | " << ascending[i + 1];
    EXPECT_EQ(canonicalOrderKey("/caf\xC3\xA9"), canonicalOrderKey("/cafe\xCC\x81"))
        << "canonically equivalent";
    EXPECT_EQ(canonicalOrderKey("/a\0e\xCC\x81"s), "/a\0\xC3\xA9"s) << "past a NUL byte";
}

} // namespace
} // namespace corvane
