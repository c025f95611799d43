#include "platform/linux/finder_bus_protocol.h"
#include "platform/linux/gvariant_plist.h"

#include <gtest/gtest.h>

#include <glib.h>

namespace corvane::finderbus {
namespace {

using Paths = std::vector<std::string>;

/// GetMenu arguments with raw byte strings as the targeted folder and selection.
Glib::VariantContainerBase menuArguments(const Paths& targeted, const Paths& selected) {
    auto array = [](const Paths& paths) {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("aay"));
        for (const std::string& p : paths)
            g_variant_builder_add_value(&builder, bytesVariant(p).gobj());
        return g_variant_builder_end(&builder);
    };
    GVariant* children[] = {g_variant_new_uint32(7), array(targeted), array(selected)};
    return Glib::VariantContainerBase(g_variant_new_tuple(children, 3));
}

TEST(FinderBusProtocol, RequestsRoundTripWithNonUtf8PathsAndNoTarget) {
    RequestContext context{std::nullopt,
                           {FileURL::fromPath("/tmp/caf\xe9"), FileURL::fromPath("/a")}};
    Expected<MenuRequest> menu = decodeMenuRequest(encodeMenuRequest({3, context}));
    ASSERT_TRUE(menu.has_value()) << menu.error().description;
    EXPECT_EQ(menu->menuKind, 3u);
    EXPECT_EQ(menu->context, context);

    context.targeted = FileURL::fromPath("/t");
    Expected<ActionRequest> action =
        decodeActionRequest(encodeActionRequest({"copyPath:", context}).value());
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
                                                      Paths{std::string("/s\0", 3)}, true},
                                           std::tuple{Paths{}, Paths{}, true},
                                           std::tuple{Paths{"relative"}, Paths{}, false},
                                           std::tuple{Paths{""}, Paths{}, false},
                                           std::tuple{Paths{"/a", "/b"}, Paths{}, false},
                                           std::tuple{Paths{}, Paths{"/a", "b"}, false},
                                           std::tuple{Paths{}, Paths{std::string("/a\0b", 4)},
                                                      false}));

TEST(FinderBusProtocol, MenuReplyRoundTripsAndRefusesInvalidText) {
    MenuItem item;
    item.title = "Copy Path";
    item.action = "copyPath:";
    item.image = MenuImage{"doc.on.doc", "edit-copy", true, "Copy Path"};
    MenuItem status;
    status.title = "Corvane+ settings not found";
    status.enabled = false;
    Menu menu{"", {status, MenuItem::separator(), item}};

    for (const std::optional<Menu>& sent : {std::optional(menu), std::optional<Menu>()}) {
        Expected<std::optional<Menu>> received = decodeMenuReply(encodeMenuReply(sent).value());
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(*received, sent);
    }
    menu.items[2].title = "Copy \xc3";
    EXPECT_FALSE(encodeMenuReply(menu).has_value());
}

} // namespace
} // namespace corvane::finderbus
