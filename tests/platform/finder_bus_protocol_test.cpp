#include "platform/linux/finder_bus_protocol.h"

#include <gtest/gtest.h>

#include <glib.h>

namespace corvane::finderbus {
namespace {

/// A GetMenu argument tuple with the given raw targeted folder and selection.
Glib::VariantContainerBase menuArguments(std::vector<std::string> targeted,
                                         std::vector<std::string> selected) {
    auto paths = [](const std::vector<std::string>& list) {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("aay"));
        for (const std::string& path : list)
            g_variant_builder_add_value(
                &builder,
                g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, path.data(), path.size(), 1));
        return g_variant_builder_end(&builder);
    };
    GVariant* children[] = {g_variant_new_uint32(7), paths(targeted), paths(selected)};
    return Glib::VariantContainerBase(g_variant_new_tuple(children, 3));
}

TEST(FinderBusProtocol, RequestsCarryNonUtf8PathsAndNoTarget) {
    RequestContext context{std::nullopt,
                           {FileURL::fromPath("/tmp/caf\xe9"), FileURL::fromPath("/a b/")}};
    Expected<MenuRequest> decoded = decodeMenuRequest(encodeMenuRequest({3, context}));
    ASSERT_TRUE(decoded.has_value()) << decoded.error().description;
    EXPECT_EQ(decoded->menuKind, 3u);
    EXPECT_EQ(decoded->context, context);

    context.targeted = FileURL::fromPath("/t");
    Expected<Glib::VariantContainerBase> action = encodeActionRequest({"copyPath:", context});
    ASSERT_TRUE(action.has_value());
    Expected<ActionRequest> back = decodeActionRequest(*action);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->selector, "copyPath:");
    EXPECT_EQ(back->context, context);
}

TEST(FinderBusProtocol, AcceptsOneTrailingNulAsGLibByteStringsCarry) {
    Expected<MenuRequest> decoded =
        decodeMenuRequest(menuArguments({std::string("/t\0", 3)}, {std::string("/s\0", 3)}));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->context.targeted, FileURL::fromPath("/t"));
    EXPECT_EQ(decoded->context.selected, std::vector<FileURL>{FileURL::fromPath("/s")});
}

class BadRequestTest : public ::testing::TestWithParam<
                           std::pair<std::vector<std::string>, std::vector<std::string>>> {};

TEST_P(BadRequestTest, IsRejected) {
    EXPECT_FALSE(decodeMenuRequest(menuArguments(GetParam().first, GetParam().second)));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BadRequestTest,
    ::testing::Values(std::pair{std::vector<std::string>{"relative"}, std::vector<std::string>{}},
                      std::pair{std::vector<std::string>{""}, std::vector<std::string>{}},
                      std::pair{std::vector<std::string>{"/a", "/b"}, std::vector<std::string>{}},
                      std::pair{std::vector<std::string>{}, std::vector<std::string>{"/a", "b"}},
                      std::pair{std::vector<std::string>{},
                                std::vector<std::string>{std::string("/a\0b", 4)}}));

TEST(FinderBusProtocol, WrongArgumentTypesAreRejected) {
    Glib::VariantContainerBase wrong(g_variant_new("(su)", "x", 1u));
    EXPECT_FALSE(decodeMenuRequest(wrong));
    EXPECT_FALSE(decodeActionRequest(wrong));
    EXPECT_FALSE(encodeActionRequest({"bad\xff", {}}));
}

TEST(FinderBusProtocol, MenuReplyRoundTripsAndRefusesInvalidText) {
    MenuItem item;
    item.title = "Copy Path";
    item.action = "copyPath:";
    item.image = MenuImage{"doc.on.doc", "edit-copy", true, "Copy Path"};
    MenuItem status;
    status.title = "Corvane+ settings not found";
    status.enabled = false;
    const Menu menu{"", {status, MenuItem::separator(), item}};

    Expected<Glib::VariantContainerBase> reply = encodeMenuReply(menu);
    ASSERT_TRUE(reply.has_value());
    Expected<std::optional<Menu>> decoded = decodeMenuReply(*reply);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, std::optional<Menu>(menu));

    Expected<Glib::VariantContainerBase> none = encodeMenuReply(std::nullopt);
    ASSERT_TRUE(none.has_value());
    decoded = decodeMenuReply(*none);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, std::nullopt);

    Menu bad = menu;
    bad.items[2].title = "Copy \xc3";
    EXPECT_FALSE(encodeMenuReply(bad).has_value());
}

} // namespace
} // namespace corvane::finderbus
