// corvane-findersync end to end: its start-up lines for the settings the
// companion stand-in leaves behind, how it ends, and the menus and refusals
// corvane-finder gets from it.

#include "tests/integration/end_to_end.h"

#include <csignal>
#include <filesystem>
#include <fstream>

namespace corvane::testing {
namespace {

using FinderSyncProcess = EndToEnd;

TEST_F(FinderSyncProcess, LogsGrantedFoldersThenTheOptionsFileAndEndsCleanlyOnSigterm) {
    const std::string granted = dir.makeFolder("Granted Folder").path();
    companion({"grant", granted, "--key", "Docs"});
    companion({"options", "copyPath=true"});
    companion({"options", "--file", "eye=2", "newTextFile=false"});
    startExtension();
    extension->sendSignal(SIGTERM);
    EXPECT_EQ(extension->wait(), 0);
    EXPECT_EQ(
        extension->lines(),
        (std::vector<std::string>{
            "Loaded secured URL: " + granted,
            R"([CorvaneExt] Loaded menu options from file: ["eye": true, "newTextFile": false])"}));
    EXPECT_EQ(extension->output(Stream::Stderr), "");
}

TEST_F(FinderSyncProcess, WithoutAContainerItUsesTheDefaultsAndStopsWhenTheBusGoesAway) {
    std::ofstream(dir / "not-a-folder") << "x";
    env["CORVANE_GROUP_CONTAINERS"] = dir / "not-a-folder";
    startExtension();
    ownBus.reset();
    EXPECT_EQ(extension->wait(), 1);
    EXPECT_EQ(
        extension->lines(),
        (std::vector<std::string>{
            "[CorvaneExt] App Group container not available for group.Brenvo.Corvane",
            "[CorvaneExt] Loaded menu options: [:]",
            R"([CorvaneExt] Using default menu options: ["newTextFile": true, "newTerminalHere": false, )"
            R"("newITermHere": false, "copyPath": false, "batchRename": false, )"
            R"("toggleHiddenFiles": false, "openInVSCode": false])"}));
    EXPECT_EQ(extension->output(Stream::Stderr),
              "corvane-findersync: the session bus connection closed\n");
}

TEST_F(FinderSyncProcess, WithoutASessionBusItSaysSoInOneLineAndFails) {
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (dir / "no-bus-here");
    CommandResult result = runCommand({CORVANE_FINDERSYNC}, env);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("corvane-findersync: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.err.ends_with("\n")) << result.err;
}

TEST_F(FinderSyncProcess, MenuOverTheBusFollowsTheCompanionAndItsOptions) {
    CommandResult unreachable = finder({"menu"});
    EXPECT_EQ(unreachable.exitStatus, 1);
    EXPECT_NE(unreachable.err.find("not running"), std::string::npos) << unreachable.err;
    startExtension();
    auto menu = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "menu");
        CommandResult result = finder(std::move(args));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.out;
    };
    EXPECT_EQ(menu({}), "no menu\n");
    EXPECT_EQ(menu({"--json"}), "null\n");
    companion({"running", "on"});
    EXPECT_EQ(menu({}), "Corvane+ settings not found (disabled)\n---\nNew Text File\n");
    companion({"options", "copyPath=true"});
    EXPECT_EQ(menu({"--no-target", "--kind", "2"}), "New Text File\nCopy Path\n");

    companion({"options", "newTextFile=true", "newTerminalHere=true", "newITermHere=true",
               "copyPath=true", "batchRename=true", "toggleHiddenFiles=true", "openInVSCode=true"});
    ASSERT_FALSE(std::filesystem::exists("/Applications")) << "this machine has /Applications";
    // Both editions map to a program that is not there, whatever this machine has installed.
    std::filesystem::create_directories(env["XDG_CONFIG_HOME"] + "/corvane");
    std::ofstream(env["XDG_CONFIG_HOME"] + "/corvane/applications.ini")
        << "[Visual Studio Code]\nExec=/nonexistent/code\n"
           "[Visual Studio Code - Insiders]\nExec=/nonexistent/code\n";
    EXPECT_EQ(
        menu({"--json"}),
        R"({"title": "", "items": [)"
        R"({"title": "New Text File", "action": "createNewTextFile:", "symbol": "doc.badge.plus", "enabled": true}, )"
        R"({"title": "New Terminal Here", "action": "openTerminalHere:", "symbol": "terminal", "enabled": true}, )"
        R"({"title": "New iTerm2 Window Here", "action": "openITermHere:", "symbol": "terminal.fill", "enabled": false}, )"
        R"({"title": "Copy Path", "action": "copyPath:", "symbol": "doc.on.doc", "enabled": true}, )"
        R"({"title": "Batch Rename", "action": "batchRenameItems:", "symbol": "text.cursor", "enabled": true}, )"
        R"({"title": "Show/Hide Hidden Files", "action": "toggleHiddenFiles:", "symbol": "eye", "enabled": true}, )"
        R"({"title": "Open in Visual Studio Code", "action": "openInVSCode:", "symbol": "chevron.left.forwardslash.chevron.right", "enabled": false}]})"
        "\n");

    companion({"running", "off"});
    EXPECT_EQ(menu({}), "no menu\n");
    extension->sendSignal(SIGINT);
    EXPECT_EQ(extension->wait(), 0);
}

TEST_F(FinderSyncProcess, RefusedRequestsAndASecondInstanceLeaveItServing) {
    companion({"running", "on"});
    startExtension();
    CommandResult unknown = finder({"perform", "noSuchAction:", "/tmp/a"});
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_NE(unknown.err.find("Brenvo.Corvane.FinderSync.Error.UnknownAction"), std::string::npos)
        << unknown.err;
    CommandResult disabled = finder({"choose", "Corvane+ settings not found"});
    EXPECT_EQ(disabled.exitStatus, 1);
    EXPECT_NE(disabled.err.find("no enabled item"), std::string::npos) << disabled.err;

    // A second instance finds the name taken and stops before its start-up prints anything.
    CommandResult second = runCommand({CORVANE_FINDERSYNC}, env);
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(second.err, "corvane-findersync: cannot own the bus name "
                          "Brenvo.Corvane.FinderSync: another process owns it\n");
    // File names need not be UTF-8: they travel as bytes.
    CommandResult bytes = finder({"menu", "--target", dir / "caf\xe9", "n\xff\xfe"});
    EXPECT_EQ(bytes.out, "Corvane+ settings not found (disabled)\n---\nNew Text File\n")
        << bytes.err;
}

} // namespace
} // namespace corvane::testing
