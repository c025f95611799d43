// The GNOME Files module, loaded as GNOME Files loads it, against a real
// corvane-findersync on a private bus.

#include "tests/nautilus/module_host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace corvane::testing {
namespace {

using Items = std::vector<ShownItem>;
using Clock = std::chrono::steady_clock;

/// One bus and one loaded module for the whole program: GIO's session bus
/// connection, like the module's types, lives as long as the process.
class NautilusModuleTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        bus = new PrivateBus;
        session = useAsSessionBus(*bus);
        module = new LoadedModule(CORVANE_NAUTILUS_MODULE);
    }
    static void TearDownTestSuite() {
        delete module;
        delete bus;
    }

    void SetUp() override { ASSERT_NE(module->menuProvider(), nullptr); }

    void startExtension() {
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        ASSERT_TRUE(waitForExtension(session, 10s)) << extension->output(Stream::Stderr);
    }
    void companion(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(std::move(args), env);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    NautilusMenuProvider* provider() const { return module->menuProvider(); }
    Items selectionItems() const {
        return fileItems(provider(), {fileUri(dir / "a"), fileUri(dir / "caf\xe9")}).shown();
    }
    Items folderItems() const { return backgroundItems(provider(), fileUri(dir.path())).shown(); }

    static inline PrivateBus* bus = nullptr;
    static inline GDBusConnection* session = nullptr;
    static inline LoadedModule* module = nullptr;

    TempDir dir;
    Environment env = isolatedEnvironment(*bus, dir);
    FinderCallMonitor monitor{bus->address()};
    std::unique_ptr<Process> extension;
};

TEST_F(NautilusModuleTest, LoadsAsOneMenuProviderExportingOnlyTheEntryPoints) {
    ASSERT_EQ(module->types().size(), 1u);
    EXPECT_TRUE(g_type_is_a(module->types()[0], NAUTILUS_TYPE_MENU_PROVIDER));
    for (const char* entry :
         {"nautilus_module_initialize", "nautilus_module_list_types", "nautilus_module_shutdown"})
        EXPECT_TRUE(module->exports(entry)) << entry;
    EXPECT_FALSE(module->exports("corvane_menu_provider_get_type"));
}

TEST_F(NautilusModuleTest, MenusFollowTheCompanionAppForSelectionAndBackground) {
    startExtension();
    struct Case {
        std::vector<std::string> companionCommand;
        Items expected;
    };
    const Case cases[] = {
        {{"running", "off"}, {}},
        // The status line stays, insensitive; the separator after it goes.
        {{"running", "on"}, {{"Corvane+ settings not found", false}, {"New Text File", true}}},
        {{"options", "openInVSCode=true", "copyPath=true", "newTextFile=true"},
         {{"New Text File", true}, {"Copy Path", true}, {"Open in Visual Studio Code", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.companionCommand.front());
        companion(c.companionCommand);
        EXPECT_EQ(selectionItems(), c.expected);
        EXPECT_EQ(folderItems(), c.expected);
    }
    // Every request carried the menu kind and context that fit it.
    const std::string folder = dir.path();
    const FinderCall selection{"GetMenu", "0", {folder, {dir / "a", dir / "caf\xe9"}}};
    const FinderCall background{"GetMenu", "1", {folder, {}}};
    ASSERT_TRUE(monitor.waitForCalls(6, 5s));
    EXPECT_EQ(monitor.calls(), (std::vector<FinderCall>{selection, background, selection,
                                                        background, selection, background}));
}

TEST_F(NautilusModuleTest, ChoosingAnItemDeliversItsActionWithTheSameContext) {
    startExtension();
    companion({"running", "on"});
    companion({"options", "newTextFile=true", "copyPath=true"});
    ASSERT_TRUE(
        fileItems(provider(), {fileUri(dir / "a"), fileUri(dir / "b")}).activate("Copy Path"));
    ASSERT_TRUE(backgroundItems(provider(), fileUri(dir.path())).activate("New Text File"));

    // Both are sent at once, without waiting for the extension.
    ASSERT_TRUE(monitor.waitForCalls(4, 10s));
    const std::vector<FinderCall> calls = monitor.calls();
    EXPECT_EQ(calls[1],
              (FinderCall{"PerformAction", "copyPath:", {dir.path(), {dir / "a", dir / "b"}}}));
    EXPECT_EQ(calls[3], (FinderCall{"PerformAction", "createNewTextFile:", {dir.path(), {}}}));
    const std::string created = dir / "Untitled.txt";
    EXPECT_TRUE(extension->waitForLine("SUCCESS: Created file at " + created));
    EXPECT_TRUE(std::filesystem::is_regular_file(created));
}

TEST_F(NautilusModuleTest, NoItemsAndAQuickReturnWhenNoExtensionAnswers) {
    companion({"running", "on"});
    // Nobody owns the name.
    EXPECT_EQ(folderItems(), Items{});

    // The process owns the name but cannot answer: the short timeout holds
    // (the bus's own default would keep GNOME Files' window frozen for 25 s).
    startExtension();
    extension->sendSignal(SIGSTOP);
    const auto start = Clock::now();
    EXPECT_EQ(selectionItems(), Items{});
    EXPECT_LT(Clock::now() - start, 2s);

    // Once it answers again, so do the menus.
    extension->sendSignal(SIGCONT);
    EXPECT_EQ(folderItems(),
              (Items{{"Corvane+ settings not found", false}, {"New Text File", true}}));
}

TEST_F(NautilusModuleTest, LocationsWithoutALocalPathGetNoItemsAndNoRequest) {
    startExtension();
    companion({"running", "on"});
    EXPECT_EQ(backgroundItems(provider(), "sftp://host/folder").shown(), Items{});
    EXPECT_EQ(fileItems(provider(), {fileUri(dir / "a"), "sftp://host/b"}).shown(), Items{});
    EXPECT_EQ(fileItems(provider(), {}).shown(), Items{});
    // A local folder right after does ask, and is the only request made.
    EXPECT_EQ(folderItems().size(), 2u);
    ASSERT_TRUE(monitor.waitForCalls(1, 5s));
    EXPECT_EQ(monitor.calls(), (std::vector<FinderCall>{{"GetMenu", "1", {dir.path(), {}}}}));
}

} // namespace
} // namespace corvane::testing
