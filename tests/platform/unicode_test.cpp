#include "platform/unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

struct PrefixCase {
    const char* name;
    std::string text;
    std::string prefix;
    bool expected;
    friend void PrintTo(const PrefixCase& c, std::ostream* out) { *out << c.name; }
};

class CharacterPrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(CharacterPrefixTest, MatchesPerUserPerceivedCharacter) {
    const PrefixCase& c = GetParam();
    EXPECT_EQ(hasCharacterPrefix(c.text, c.prefix), c.expected);
}

// "é" precomposed is U+00E9; decomposed it is "e" followed by U+0301.
const std::string kPrecomposed = "\xC3\xA9";
const std::string kDecomposed = "e\xCC\x81";

INSTANTIATE_TEST_SUITE_P(
    Table, CharacterPrefixTest,
    ::testing::Values(
        PrefixCase{"Equal", "/Users/a/b", "/Users/a/b", true},
        PrefixCase{"Child", "/Users/a/b/c", "/Users/a/b", true},
        PrefixCase{"SiblingSharingTheName", "/Users/a/bc", "/Users/a/b", true},
        PrefixCase{"Parent", "/Users/a", "/Users/a/b", false},
        PrefixCase{"CaseDiffers", "/Users/A/b", "/Users/a/b", false},
        PrefixCase{"Root", "/anything/at/all", "/", true}, PrefixCase{"EmptyPrefix", "", "", true},
        PrefixCase{"EmptyText", "", "/", false},
        PrefixCase{"DecomposedTextPrecomposedPrefix", "/caf" + kDecomposed + "/x",
                   "/caf" + kPrecomposed, true},
        PrefixCase{"PrecomposedTextDecomposedPrefix", "/caf" + kPrecomposed, "/caf" + kDecomposed,
                   true},
        // Byte-wise, "/cafe" is a prefix of "/cafe\u0301"; as characters it is not.
        PrefixCase{"BareBaseLetterBeforeCombiningMark", "/caf" + kDecomposed + "/x", "/cafe",
                   false},
        PrefixCase{"BareBaseLetterAtEnd", "/caf" + kDecomposed, "/cafe", false},
        PrefixCase{"PrecomposedIsNotBareLetter", "/caf" + kPrecomposed, "/cafe", false},
        // Hangul syllable U+AC00 and its jamo U+1100 U+1161.
        PrefixCase{"HangulJamoAgainstSyllable", "/\xE1\x84\x80\xE1\x85\xA1/x", "/\xEA\xB0\x80",
                   true},
        // A flag is one character: one regional indicator does not start it.
        PrefixCase{"HalfAFlag", "/\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", "/\xF0\x9F\x87\xA9", false},
        // Family emoji joined by U+200D: the man alone is not its first character.
        PrefixCase{"EmojiZwjSequence", "/\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9",
                   "/\xF0\x9F\x91\xA8", false},
        PrefixCase{"CrLfIsOneCharacter", "/a\r\n", "/a\r", false},
        PrefixCase{"InvalidTextComparedAsBytes", "/data/\xFF\xFE/x", "/data/\xFF\xFE", true},
        PrefixCase{"InvalidPrefixComparedAsBytes", "/data/\xFFz", "/data/\xFE", false},
        PrefixCase{"InvalidTextValidPrefixBytes", "/caf\xFF", "/cafe", false},
        PrefixCase{"OverlongEncodingIsInvalid", "/\xC0\xAF/x", "/\xC0\xAF", true},
        // Text after a NUL byte still takes part in the comparison.
        PrefixCase{"AfterEmbeddedNulMatches", std::string("/a\0e\xCC\x81", 6),
                   std::string("/a\0\xC3\xA9", 5), true},
        PrefixCase{"AfterEmbeddedNulDiffers", std::string("/a\0x", 4), std::string("/a\0y", 4),
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace corvane
