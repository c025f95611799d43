// The GNOME Files module, loaded as GNOME Files loads it, against a real
// corvane-findersync on a private bus.

#include "tests/integration/end_to_end.h"
#include "tests/nautilus/module_host.h"

#include <csignal>
#include <filesystem>

namespace corvane::testing {
namespace {

using Items = std::vector<ShownItem>;

/// One bus and one loaded module for the whole program: GIO's session bus
/// connection, like the module's types, lives as long as the process.
class NautilusModuleTest : public EndToEnd {
  protected:
    NautilusModuleTest() : EndToEnd(bus) {}
    static void SetUpTestSuite() {
        bus = new PrivateBus;
        useAsSessionBus(*bus);
        module = new LoadedModule(CORVANE_NAUTILUS_MODULE);
    }
    static void TearDownTestSuite() {
        delete module;
        delete bus;
    }

    NautilusMenuProvider* provider() const { return module->menuProvider(); }
    Items selectionItems() const {
        return fileItems(provider(), {fileUri(dir / "a"), fileUri(dir / "caf\xe9")}).shown();
    }
    Items folderItems() const { return backgroundItems(provider(), fileUri(dir.path())).shown(); }

    static inline PrivateBus* bus = nullptr;
    static inline LoadedModule* module = nullptr;
};

TEST_F(NautilusModuleTest, LoadsAsOneMenuProviderExportingOnlyTheEntryPoints) {
    ASSERT_EQ(module->types().size(), 1u);
    EXPECT_TRUE(g_type_is_a(module->types()[0], NAUTILUS_TYPE_MENU_PROVIDER));
    ASSERT_NE(provider(), nullptr);
    for (const char* entry :
         {"nautilus_module_initialize", "nautilus_module_list_types", "nautilus_module_shutdown"})
        EXPECT_TRUE(module->exports(entry)) << entry;
    EXPECT_FALSE(module->exports("corvane_menu_provider_get_type"));
}

TEST_F(NautilusModuleTest, ItemsFollowTheCompanionAppForASelectionAndABackground) {
    // GNOME Files is told to ask again when the extension starts and when
    // the companion app changes the menu.
    const ItemsUpdatedCounter updates(provider());
    startExtension();
    EXPECT_TRUE(spinUntil([&] { return updates.count() == 1; }, 5s));
    const std::pair<std::vector<std::string>, Items> cases[] = {
        // The status line stays, insensitive; the separator after it goes.
        {{"running", "on"}, {{"Corvane+ settings not found", false}, {"New Text File", true}}},
        {{"options", "openInVSCode=true", "copyPath=true", "newTextFile=true"},
         {{"New Text File", true}, {"Copy Path", true}, {"Open in Visual Studio Code", false}}},
        {{"running", "off"}, {}},
    };
    for (const auto& [command, expected] : cases) {
        SCOPED_TRACE(command.front());
        const int before = updates.count();
        companion(command);
        EXPECT_TRUE(spinUntil([&] { return updates.count() > before; }, 5s));
        EXPECT_EQ(selectionItems(), expected);
        EXPECT_EQ(folderItems(), expected);
    }
    // Locations without a local path get none.
    EXPECT_EQ(backgroundItems(provider(), "sftp://host/folder").shown(), Items{});
    EXPECT_EQ(fileItems(provider(), {fileUri(dir / "a"), "sftp://host/b"}).shown(), Items{});
    EXPECT_EQ(fileItems(provider(), {}).shown(), Items{});
}

TEST_F(NautilusModuleTest, ChosenItemsActOnTheFolderAndSelectionTheirMenuWasFor) {
    startExtension();
    companion({"running", "on"});
    companion({"options", "newTextFile=true", "copyPath=true"});
    const std::string sub = dir.makeFolder("sub").path();
    // A selection's folder is that of its first item; the window holds its
    // background's items at the same time.
    const WindowMenus window(provider(), {fileUri(sub + "/a"), fileUri(dir / "caf\xe9")},
                             fileUri(dir.path()));
    ASSERT_TRUE(window.chooseInSelection("Copy Path"));
    ASSERT_TRUE(window.chooseInSelection("New Text File"));
    ASSERT_TRUE(window.chooseInBackground("New Text File"));
    // Each is sent without waiting for the extension, which runs them in turn.
    EXPECT_TRUE(spinUntil(
        [&] {
            return std::filesystem::exists(sub + "/Untitled.txt") &&
                   std::filesystem::exists(dir / "Untitled.txt");
        },
        10s));
    EXPECT_EQ(finder({"paste"}).out, sub + "/a\n" + dir / "caf\xe9");
}

TEST_F(NautilusModuleTest, NoItemsAndAQuickReturnWhenNoExtensionAnswers) {
    companion({"running", "on"});
    // Nobody owns the name.
    EXPECT_EQ(folderItems(), Items{});

    // The process owns the name but cannot answer: the short timeout holds
    // (the bus's own default would keep GNOME Files' window frozen for 25 s).
    startExtension();
    extension->sendSignal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(selectionItems(), Items{});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

    // Once it answers again (the module hears it on the main loop), so do
    // the menus.
    extension->sendSignal(SIGCONT);
    EXPECT_TRUE(spinUntil(
        [&] {
            return folderItems() ==
                   Items{{"Corvane+ settings not found", false}, {"New Text File", true}};
        },
        5s));
}

} // namespace
} // namespace corvane::testing
