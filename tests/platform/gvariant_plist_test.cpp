#include "platform/linux/gvariant_plist.h"
#include "tests/platform/test_support.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {
namespace {

const std::string kInvalid = "bad \xC3\x28 byte";
const std::string kWithNul("nul\0inside", 10);

/// The value in GVariant text format; the cases' texts are all valid.
Glib::VariantBase parse(const char* text) {
    return Glib::VariantBase(g_variant_parse(nullptr, text, nullptr, nullptr, nullptr));
}

struct Sent {
    PlistValue value;
    const char* type;
    PlistValue received;
};

class SentAs : public ::testing::TestWithParam<Sent> {};

TEST_P(SentAs, TypeAndValueBack) {
    const Sent& sent = GetParam();
    Expected<Glib::VariantBase> variant = plistToVariant(sent.value);
    ASSERT_TRUE(variant.has_value()) << variant.error().description;
    EXPECT_EQ(variant->get_type_string(), sent.type);
    EXPECT_EQ(plistFromVariant(*variant), sent.received);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, SentAs,
    ::testing::Values(
        Sent{true, "b", true}, Sent{std::int64_t{INT64_MIN}, "x", std::int64_t{INT64_MIN}},
        Sent{UINT64_MAX, "t", UINT64_MAX}, Sent{0.5, "d", 0.5}, Sent{"caf\u00e9", "s", "caf\u00e9"},
        // What a D-Bus string cannot carry travels as bytes.
        Sent{kInvalid, "ay", PlistData{kInvalid}}, Sent{kWithNul, "ay", PlistData{kWithNul}},
        Sent{PlistData{std::string("\0\xff", 2)}, "ay", PlistData{std::string("\0\xff", 2)}},
        Sent{PlistDate{12345.5}, "(d)", PlistDate{12345.5}},
        Sent{PlistArray{1, "a"}, "av", PlistArray{1, "a"}},
        Sent{PlistDictionary{{"k", 1}, {kInvalid, "key left out"}}, "a{sv}",
             PlistDictionary{{"k", 1}}}));

TEST(GVariantPlist, DatesCountFromTheUnixEpochAndTheSampleRoundTrips) {
    EXPECT_TRUE(plistToVariant(PlistDate{0}).value().equal(parse("(978307200.0,)")));

    PlistDictionary sample = testing::samplePlist().asDictionary();
    Expected<Glib::VariantBase> variant = dictionaryToVariant(sample);
    ASSERT_TRUE(variant.has_value());
    EXPECT_EQ(variant->get_type_string(), "a{sv}");
    EXPECT_EQ(plistFromVariant(*variant), PlistValue(sample));
}

TEST(GVariantPlist, NestingBeyondTheLimitIsRefused) {
    // `depth` containers, the innermost holding 1; dictionaries from the outside in.
    auto nest = [](int depth, int dictionaries = 0) {
        PlistValue value = 1;
        for (int i = depth; i > 0; --i)
            value = i <= dictionaries ? PlistValue(PlistDictionary{{"k", value}})
                                      : PlistValue(PlistArray{value});
        return value;
    };
    for (int dictionaries : {0, kMaxVariantNesting}) {
        EXPECT_TRUE(plistToVariant(nest(kMaxVariantNesting, dictionaries)));
        EXPECT_FALSE(plistToVariant(nest(kMaxVariantNesting + 1, dictionaries + 1)));
    }
    // Under a key that is left out, depth does not matter.
    PlistDictionary hidden{{kInvalid, nest(kMaxVariantNesting + 5)}};
    EXPECT_EQ(plistFromVariant(dictionaryToVariant(hidden).value()), PlistValue(PlistDictionary{}));
}

struct Received {
    const char* text;
    std::optional<PlistValue> value;
};

class ReceivedFrom : public ::testing::TestWithParam<Received> {};

TEST_P(ReceivedFrom, OtherSendersTypes) {
    EXPECT_EQ(plistFromVariant(parse(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Types, ReceivedFrom,
    ::testing::Values(Received{"byte 7", 7}, Received{"int16 -3", -3},
                      Received{"uint32 4000000000", std::int64_t{4000000000}},
                      Received{"uint64 9223372036854775807", std::int64_t{INT64_MAX}},
                      Received{"uint64 9223372036854775808",
                               static_cast<std::uint64_t>(INT64_MAX) + 1},
                      Received{"objectpath '/p'", "/p"}, Received{"signature 'as'", "as"},
                      Received{"[byte 0x72, 0x61]", PlistData{"ra"}},
                      Received{"@ay []", PlistData{}}, Received{"(978307200.5,)", PlistDate{0.5}},
                      Received{"['x', 'y']", PlistArray{"x", "y"}},
                      Received{"(1, 'two')", PlistArray{1, "two"}}, Received{"<<'s'>>", "s"},
                      Received{"@mi 5", 5}, Received{"@mi nothing", std::nullopt},
                      Received{"handle 3", std::nullopt}, Received{"{1: 'one'}", std::nullopt},
                      Received{"{objectpath '/k': 2}", PlistDictionary{{"/k", 2}}},
                      // Elements without a counterpart are left out, the rest arrives.
                      Received{"{'a': <1>, 'h': <handle 3>}", PlistDictionary{{"a", 1}}},
                      Received{"[<1>, <handle 2>, <@mi nothing>]", PlistArray{1}}));

TEST(DBusString, StrayAndNulBytesBecomeReplacementCharacters) {
    EXPECT_EQ(toDBusString("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(toDBusString("caf\xe9!"), "caf\xef\xbf\xbd!");
    EXPECT_EQ(toDBusString(std::string_view("a\0b", 3)), "a\xef\xbf\xbd"
                                                         "b");
}

} // namespace
} // namespace corvane
