#include "finderbus/finder_bus.h"

#include <gtest/gtest.h>

namespace corvane::finderbus {
namespace {

using Paths = std::vector<std::string>;

/// Takes the floating `value`, and drops it at the end of the test.
GVariant* owned(GVariant* value) {
    static std::vector<std::unique_ptr<GVariant, void (*)(GVariant*)>> kept;
    kept.emplace_back(g_variant_ref_sink(value), g_variant_unref);
    return value;
}

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
    return owned(g_variant_new_tuple(children, 3));
}

TEST(FinderBus, RequestsRoundTripWithNonUtf8PathsAndNoTarget) {
    RequestContext context{std::nullopt, {"/tmp/caf\xe9", "/a"}};
    Result<MenuRequest> menu = decodeMenuRequest(owned(encodeMenuRequest({3, context})));
    ASSERT_TRUE(menu.has_value()) << menu.error();
    EXPECT_EQ(menu->menuKind, 3u);
    EXPECT_EQ(menu->context, context);

    context.targeted = "/t";
    Result<ActionRequest> action =
        decodeActionRequest(owned(encodeActionRequest({"copyPath:", context}).value()));
    ASSERT_TRUE(action.has_value());
    EXPECT_EQ(action->selector, "copyPath:");
    EXPECT_EQ(action->context, context);
    EXPECT_FALSE(encodeActionRequest({"bad\xff", {}}).has_value());
}

class PathRuleTest : public ::testing::TestWithParam<std::tuple<Paths, Paths, bool>> {};

TEST_P(PathRuleTest, AbsoluteNulFreePathsAndAtMostOneTarget) {
    const auto& [targeted, selected, accepted] = GetParam();
    EXPECT_EQ(decodeMenuRequest(menuArguments(targeted, selected)).has_value(), accepted);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathRuleTest,
                         ::testing::Values(std::tuple{Paths{std::string("/t\0", 3)},
                                                      Paths{std::string("/s/\0", 4)}, true},
                                           std::tuple{Paths{}, Paths{}, true},
                                           std::tuple{Paths{"relative"}, Paths{}, false},
                                           std::tuple{Paths{""}, Paths{}, false},
                                           std::tuple{Paths{"/a", "/b"}, Paths{}, false},
                                           std::tuple{Paths{}, Paths{"/a", "b"}, false},
                                           std::tuple{Paths{}, Paths{std::string("/a\0b", 4)},
                                                      false}));

TEST(FinderBus, MenuReplyRoundTripsAndRefusesInvalidText) {
    Menu menu{"",
              {{false, "Corvane+ settings not found", "", "", "", "", "", false, false},
               {true, "", "", "", "", "", "", false, true},
               {false, "Copy Path", "copyPath:", "", "doc.on.doc", "edit-copy", "Copy Path", true,
                true}}};
    for (const std::optional<Menu>& sent : {std::optional(menu), std::optional<Menu>()}) {
        Result<std::optional<Menu>> received =
            decodeMenuReply(owned(encodeMenuReply(sent).value()));
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(*received, sent);
    }
    menu.entries[2].title = "Copy \xc3";
    EXPECT_FALSE(encodeMenuReply(menu).has_value());
}

} // namespace
} // namespace corvane::finderbus
