// The file manager's side end to end: corvane-findersync on a private bus,
// driven by corvane-companion (settings) and corvane-finder (menus, actions).

#include "tests/integration/process_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace corvane::testing {
namespace {

class FinderMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        // Ready once the name answers; polled, since owning it is asynchronous.
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (finder({"menu"}).exitStatus == 0)
                return;
            std::this_thread::sleep_for(25ms);
        }
        FAIL() << "corvane-findersync did not start serving:\n"
               << extension->output(Stream::Stderr);
    }

    CommandResult finder(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_FINDER);
        return runCommand(std::move(args), env);
    }
    void companion(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(std::move(args), env);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    std::string menuText(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), "menu");
        CommandResult result = finder(std::move(extra));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    }

    PrivateBus bus;
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
    std::unique_ptr<Process> extension;
};

TEST_F(FinderMenuTest, NoMenuUntilTheCompanionRunsThenTheDefaultMenu) {
    EXPECT_EQ(menuText(), "no menu\n");
    EXPECT_EQ(menuText({"--json"}), "null\n");

    companion({"running", "on"});
    EXPECT_EQ(menuText(), "Corvane+ settings not found (disabled)\n---\nNew Text File\n");

    companion({"options", "copyPath=true"});
    EXPECT_EQ(menuText({"--no-target", "--kind", "2"}), "New Text File\nCopy Path\n");

    companion({"running", "off"});
    EXPECT_EQ(menuText(), "no menu\n");
}

TEST_F(FinderMenuTest, EveryOptionOnGivesTheFullMenu) {
    companion({"running", "on"});
    companion({"options", "newTextFile=true", "newTerminalHere=true", "newITermHere=true",
               "copyPath=true", "batchRename=true", "toggleHiddenFiles=true", "openInVSCode=true"});
    ASSERT_FALSE(std::filesystem::exists("/Applications")) << "this machine has /Applications";
    // Both editions map to a program that is not there, whatever this machine has installed.
    std::filesystem::create_directories(env["XDG_CONFIG_HOME"] + "/corvane");
    std::ofstream(env["XDG_CONFIG_HOME"] + "/corvane/applications.ini")
        << "[Visual Studio Code]\nExec=/nonexistent/code\n"
           "[Visual Studio Code - Insiders]\nExec=/nonexistent/code\n";

    EXPECT_EQ(
        menuText({"--json"}),
        R"({"title": "", "items": [)"
        R"({"title": "New Text File", "action": "createNewTextFile:", "symbol": "doc.badge.plus", "enabled": true}, )"
        R"({"title": "New Terminal Here", "action": "openTerminalHere:", "symbol": "terminal", "enabled": true}, )"
        R"({"title": "New iTerm2 Window Here", "action": "openITermHere:", "symbol": "terminal.fill", "enabled": false}, )"
        R"({"title": "Copy Path", "action": "copyPath:", "symbol": "doc.on.doc", "enabled": true}, )"
        R"({"title": "Batch Rename", "action": "batchRenameItems:", "symbol": "text.cursor", "enabled": true}, )"
        R"({"title": "Show/Hide Hidden Files", "action": "toggleHiddenFiles:", "symbol": "eye", "enabled": true}, )"
        R"({"title": "Open in Visual Studio Code", "action": "openInVSCode:", "symbol": "chevron.left.forwardslash.chevron.right", "enabled": false}]})"
        "\n");
}

TEST_F(FinderMenuTest, RefusedRequestsAndASecondInstanceLeaveTheExtensionServing) {
    companion({"running", "on"});
    CommandResult unknown = finder({"perform", "noSuchAction:", "/tmp/a"});
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_NE(unknown.err.find("Brenvo.Corvane.FinderSync.Error.UnknownAction"), std::string::npos)
        << unknown.err;

    CommandResult disabled = finder({"choose", "Corvane+ settings not found"});
    EXPECT_EQ(disabled.exitStatus, 1);
    EXPECT_NE(disabled.err.find("no enabled item"), std::string::npos) << disabled.err;

    // File names need not be UTF-8: they travel as bytes.
    EXPECT_EQ(menuText({"--target", dir / "caf\xe9", "n\xff\xfe", "--", "--json"}),
              "Corvane+ settings not found (disabled)\n---\nNew Text File\n");
    // A second instance finds the name taken and stops with a failure,
    // before its start-up prints anything.
    Process second({CORVANE_FINDERSYNC}, env);
    EXPECT_EQ(second.wait(10s), 1);
    EXPECT_EQ(second.output(), "");
    EXPECT_EQ(second.output(Stream::Stderr),
              "corvane-findersync: cannot own the bus name "
              "Brenvo.Corvane.FinderSync: another process owns it\n");
    EXPECT_EQ(extension->wait(0ms), std::nullopt) << "the extension stopped";
    EXPECT_EQ(menuText(), "Corvane+ settings not found (disabled)\n---\nNew Text File\n");
}

TEST(FinderToolTest, UnreachableExtensionExitsOne) {
    PrivateBus bus;
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
    CommandResult noOwner = runCommand({CORVANE_FINDER, "menu"}, env);
    EXPECT_EQ(noOwner.exitStatus, 1);
    EXPECT_NE(noOwner.err.find("not running"), std::string::npos) << noOwner.err;

    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + dir / "no-bus";
    CommandResult noBus = runCommand({CORVANE_FINDER, "perform", "copyPath:"}, env);
    EXPECT_EQ(noBus.exitStatus, 1);
    EXPECT_NE(noBus.err.find("session bus"), std::string::npos) << noBus.err;
}

class FinderUsageTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(FinderUsageTest, WrongCommandLineExitsTwoWithUsage) {
    std::vector<std::string> argv = GetParam();
    argv.insert(argv.begin(), CORVANE_FINDER);
    CommandResult result = runCommand(argv, currentEnvironment());
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("usage: corvane-finder menu"), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, FinderUsageTest,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"open"},
                      std::vector<std::string>{"menu", "--kind", "x"},

                      std::vector<std::string>{"menu", "--target"},
                      std::vector<std::string>{"menu", "--target", "/a", "--no-target"},

                      std::vector<std::string>{"choose"},
                      std::vector<std::string>{"perform", "copyPath:", "--json"},
                      std::vector<std::string>{"menu", ""},
                      std::vector<std::string>{"paste", "x"}));

} // namespace
} // namespace corvane::testing
