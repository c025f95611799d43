// The sort key (canonicalOrderKey) is checked through the rename engine's
// order in tests/extension/rename_engine_test.cpp.

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
        {"sibling sharing the name", "/Users/a/bc", "/Users/a/b", true},
        {"parent", "/Users/a", "/Users/a/b", false},
        {"root", "/anything/at/all", "/", true},
        {"decomposed text, precomposed prefix", "/caf" + de + "/x", "/caf" + pre, true},
        {"precomposed text, decomposed prefix", "/caf" + pre, "/caf" + de, true},
        // Byte-wise, "/cafe" is a prefix of "/cafe\u0301"; as characters it is not.
        {"bare base letter before a combining mark", "/caf" + de + "/x", "/cafe", false},
        // No precomposed form: the character stays "x" and the mark.
        {"bare base letter before a mark that stays", "/x\xCC\x81", "/x", false},
        // A flag is one character: one regional indicator does not start it.
        // (CR LF follows the same boundary rules.)
        {"half a flag", "/\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", "/\xF0\x9F\x87\xA9", false},
        {"CR then another character", "/a\rb", "/a\r", true},
        // U+212A KELVIN SIGN is canonically "K".
        {"ASCII prefix, equivalent text that is not ASCII", "/\xE2\x84\xAA/x", "/K", true},
        {"invalid text, bytes", "/data/\xFF\xFE/x", "/data/\xFF\xFE", true},
        // Text after a NUL byte still takes part in the comparison.
        {"after NUL, equivalent", "/a\0e\xCC\x81"s, "/a\0\xC3\xA9"s, true},
    };
    for (const auto& [name, text, prefix, expected] : cases)
        EXPECT_EQ(hasCharacterPrefix(text, prefix), expected) << name;
}

} // namespace
} // namespace corvane
