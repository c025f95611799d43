// Every built module, loaded the way its file manager loads it, against a
// real corvane-findersync on a private bus.

#include "tests/filemanagers/module_host.h"
#include "tests/integration/end_to_end.h"

#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

/// One bus for the program, and one host per module: GIO's session bus
/// connection, like a module, lives as long as the process.
class ModuleTest : public EndToEnd, public ::testing::WithParamInterface<BuiltModule> {
  protected:
    ModuleTest() : EndToEnd(bus) {}
    static void SetUpTestSuite() {
        bus = new PrivateBus;
        useAsSessionBus(*bus);
    }
    static void TearDownTestSuite() {
        hosts.clear();
        delete bus;
    }

    ModuleHost& host() {
        std::unique_ptr<ModuleHost>& host = hosts[GetParam().fileManager];
        if (!host)
            host = GetParam().load(GetParam().path);
        return *host;
    }
    /// Opens both menus of a window showing `dir` with "a" and "café" (not
    /// UTF-8) selected, and expects `expected` in each (with its separators
    /// only where the file manager draws them).
    void expectItems(Items expected) {
        if (!GetParam().drawsSeparators)
            std::erase(expected, ShownItem{"---"});
        host().openMenus({dir / "a", dir / "caf\xe9"}, dir.path());
        EXPECT_EQ(host().items(MenuKind::Selection), expected);
        EXPECT_EQ(host().items(MenuKind::Background), expected);
    }
    /// How many menus the extension has built.
    long menusBuilt() const {
        return std::ranges::count_if(extension->lines(), [](const std::string& line) {
            return line.find("Loaded menu options") != line.npos;
        });
    }
    /// Whether a file manager that keeps its items was told to ask again
    /// since it had been told `before` times.
    bool toldToAskAgain(int before) {
        return !host().updates() || spinUntil([&] { return *host().updates() > before; }, 5s);
    }
    int updates() { return host().updates().value_or(0); }

    static inline PrivateBus* bus = nullptr;
    static inline std::map<std::string, std::unique_ptr<ModuleHost>> hosts;
};

TEST_P(ModuleTest, ItemsFollowTheCompanionAppAndOnlyLocalPlacesHaveThem) {
    startExtension();
    const std::pair<std::vector<std::string>, Items> cases[] = {
        {{"running", "on"},
         {{"Corvane+ settings not found", false}, {"---"}, {"New Text File", true}}},
        // Without Visual Studio Code its item stays, insensitive.
        {{"options", "openInVSCode=true", "copyPath=true", "newTextFile=true"},
         {{"New Text File", true}, {"Copy Path", true}, {"Open in Visual Studio Code", false}}},
        {{"running", "off"}, {}},
    };
    for (const auto& [command, expected] : cases) {
        SCOPED_TRACE(command.front());
        const int before = updates();
        companion(command);
        EXPECT_TRUE(toldToAskAgain(before));
        expectItems(expected);
    }
    companion({"running", "on"});
    // Places without a local path get none.
    host().openMenus({dir / "a", "sftp://host/b"}, "sftp://host/folder");
    EXPECT_EQ(host().items(MenuKind::Selection), Items{});
    EXPECT_EQ(host().items(MenuKind::Background), Items{});
    host().openMenus({}, dir.path());
    EXPECT_EQ(host().items(MenuKind::Selection), Items{});
}

TEST_P(ModuleTest, EachChosenItemActsOnTheRequestItsMenuWasMadeFor) {
    startExtension();
    companion({"running", "on"});
    companion({"options", "newTextFile=true", "copyPath=true"});
    // A selection's folder is that of its first item; the window holds its
    // background's items at the same time.
    const std::string sub = dir.makeFolder("sub").path();
    host().openMenus({sub + "/a", dir / "caf\xe9"}, dir.path());
    ASSERT_TRUE(host().choose(MenuKind::Selection, "Copy Path"));
    ASSERT_TRUE(host().choose(MenuKind::Selection, "New Text File"));
    ASSERT_TRUE(host().choose(MenuKind::Background, "New Text File"));
    // Each is sent without waiting for the extension, which runs them in turn.
    EXPECT_TRUE(spinUntil(
        [&] { return fs::exists(sub + "/Untitled.txt") && fs::exists(dir / "Untitled.txt"); }));
    EXPECT_EQ(finder({"paste"}).out, sub + "/a\n" + dir / "caf\xe9");
}

TEST_P(ModuleTest, AStuckExtensionCostsOneTimeoutAndItsItemsReturnWhenItAnswers) {
    companion({"running", "on"});
    // Nobody owns the name: no items.
    expectItems({});

    const int absent = updates();
    startExtension();
    EXPECT_TRUE(toldToAskAgain(absent));
    expectItems({{"Corvane+ settings not found", false}, {"---"}, {"New Text File", true}});
    const long built = menusBuilt();
    const int before = updates();
    // The extension's main loop stops for two seconds (GDBus's own thread
    // still answers Ping): every menu asked for meanwhile comes back empty.
    const pid_t pid = std::stoi(
        runCommand({"pgrep", "-P", std::to_string(getpid()), "corvane-finders"}, env).out);
    std::promise<void> held;
    std::thread holder([pid, &held] {
        ptrace(PTRACE_SEIZE, pid, nullptr, nullptr);
        ptrace(PTRACE_INTERRUPT, pid, nullptr, nullptr);
        waitpid(pid, nullptr, __WALL);
        held.set_value();
        std::this_thread::sleep_for(2s);
        ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
    });
    held.get_future().wait();
    for (int i = 0; i < 3; ++i)
        expectItems({});
    holder.join();

    // Once it answers, so do the menus (a file manager that keeps its items
    // is told to ask again); it was asked only once while stuck, plus the
    // probe that saw it answer.
    EXPECT_TRUE(toldToAskAgain(before));
    EXPECT_TRUE(spinUntil([&] {
        host().openMenus({dir / "a"}, dir.path());
        return !host().items(MenuKind::Background).empty();
    }));
    EXPECT_EQ(menusBuilt(), built + 4);
}

INSTANTIATE_TEST_SUITE_P(FileManagers, ModuleTest, ::testing::ValuesIn(builtModules()),
                         [](const auto& info) { return info.param.fileManager; });

} // namespace
} // namespace corvane::testing
