// What the file manager's D-Bus interface refuses on either side. Round trips
// are seen end to end (tests/integration, tests/filemanagers).

#include "finderbus/finder_bus.h"

#include <gtest/gtest.h>

namespace corvane::finderbus {
namespace {

using Paths = std::vector<std::string>;

/// GetMenu arguments with raw byte strings as the targeted folder and selection.
GVariant* menuArguments(const Paths& targeted, const Paths& selected) {
    auto array = [](const Paths& paths) {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("aay"));
        for (const std::string& p : paths)
            g_variant_builder_add_value(
                &builder, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, p.data(), p.size(), 1));
        return g_variant_builder_end(&builder);
    };
    GVariant* children[] = {g_variant_new_uint32(7), array(targeted), array(selected)};
    return g_variant_ref_sink(g_variant_new_tuple(children, 3));
}

class PathRuleTest : public ::testing::TestWithParam<std::tuple<Paths, Paths, bool>> {};

TEST_P(PathRuleTest, AbsoluteNulFreePathsAndAtMostOneTarget) {
    const auto& [targeted, selected, accepted] = GetParam();
    GVariant* arguments = menuArguments(targeted, selected);
    EXPECT_EQ(decodeMenuRequest(arguments).has_value(), accepted);
    g_variant_unref(arguments);
}

// One row per class: a C string's terminating NUL is allowed.
INSTANTIATE_TEST_SUITE_P(Paths, PathRuleTest,
                         ::testing::Values(std::tuple{Paths{std::string("/t\0", 3)},
                                                      Paths{std::string("/s/\0", 4)}, true},
                                           std::tuple{Paths{"/t"}, Paths{"relative"}, false},
                                           std::tuple{Paths{""}, Paths{}, false},
                                           std::tuple{Paths{"/a", "/b"}, Paths{}, false},
                                           std::tuple{Paths{}, Paths{std::string("/a\0b", 4)},
                                                      false}));

TEST(FinderBus, TextThatIsNotUtf8IsRefusedBeforeItTravels) {
    EXPECT_FALSE(encodeActionRequest({"bad\xff", {}}).has_value());
    Menu menu{"", {{false, "Copy \xc3", "copyPath:", "", "", "", "", false, true}}};
    EXPECT_FALSE(encodeMenuReply(menu).has_value());
}

} // namespace
} // namespace corvane::finderbus
