#include "platform/linux/gvariant_plist.h"
#include "tests/platform/test_support.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace corvane {
namespace {

const std::string kInvalid = "bad \xC3\x28 byte";
const std::string kWithNul("nul\0inside", 10);
const PlistDictionary kEveryKind{{"b", false},
                                 {"x", INT64_MIN},
                                 {"t", UINT64_MAX},
                                 {"d", -0.5},
                                 {"s", "caf\u00e9"},
                                 {"ay", PlistData{kWithNul}},
                                 {"date", PlistDate{-978307200.5}},
                                 {"av", PlistArray{1, PlistArray{}}},
                                 {"a{sv}", PlistDictionary{{"k", "v"}}}};

/// The value in GVariant text format; the cases' texts are all valid.
Glib::VariantBase parse(const char* text) {
    return Glib::VariantBase(g_variant_parse(nullptr, text, nullptr, nullptr, nullptr));
}

TEST(GVariantPlist, EveryKindTravelsAsItsD_BusTypeAndBackUnlessNestedTooDeep) {
    // Sent, the D-Bus type, what comes back. What a D-Bus string cannot carry
    // travels as bytes; a key that is not one is left out.
    const std::tuple<PlistValue, const char*, PlistValue> cases[] = {
        {kEveryKind, "a{sv}", kEveryKind},
        {kInvalid, "ay", PlistData{kInvalid}},
        {kWithNul, "ay", PlistData{kWithNul}},
        {PlistDictionary{{"k", 1}, {kInvalid, "left out"}}, "a{sv}", PlistDictionary{{"k", 1}}}};
    for (const auto& [sent, type, received] : cases) {
        Expected<Glib::VariantBase> variant = plistToVariant(sent);
        ASSERT_TRUE(variant) << variant.error().description;
        EXPECT_EQ(variant->get_type_string(), type);
        EXPECT_EQ(plistFromVariant(*variant), received) << type;
    }
    // Dates count from the Unix epoch.
    EXPECT_TRUE(plistToVariant(PlistDate{0.5}).value().equal(parse("(978307200.5,)")));
    EXPECT_EQ(toDBusString(std::string("caf\xe9!\0b", 7)), "caf\xef\xbf\xbd!\xef\xbf\xbd"
                                                           "b");

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
    PlistDictionary hidden{{kInvalid, nest(kMaxVariantNesting + 5)}};
    EXPECT_EQ(plistFromVariant(dictionaryToVariant(hidden).value()), PlistValue(PlistDictionary{}));
}

TEST(GVariantPlist, OtherSendersTypesMapToTheNearestKindOrNone) {
    // Elements without a counterpart are left out, the rest arrives.
    const std::pair<const char*, std::optional<PlistValue>> cases[] = {
        {"byte 7", 7},
        {"uint32 4000000000", std::int64_t{4000000000}},
        {"uint64 9223372036854775808", static_cast<std::uint64_t>(INT64_MAX) + 1},
        {"objectpath '/p'", "/p"},
        {"@ay []", PlistData{}},
        {"(1, 'two')", PlistArray{1, "two"}},
        {"<<@mi 5>>", 5},
        {"@mi nothing", std::nullopt},
        {"{1: 'one'}", std::nullopt},
        {"{objectpath '/k': 2}", PlistDictionary{{"/k", 2}}},
        {"{'a': <1>, 'h': <handle 3>}", PlistDictionary{{"a", 1}}},
        {"[<1>, <@mi nothing>]", PlistArray{1}}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(plistFromVariant(parse(text)), value) << text;
}

} // namespace
} // namespace corvane
