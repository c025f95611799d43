// The Finder actions end to end: corvane-findersync on a private bus, driven
// by corvane-finder and corvane-companion, with the desktop's file manager and
// notification server played by this process.

#include "tests/integration/end_to_end.h"
#include "tests/integration/fake_bus_service.h"

#include <csignal>
#include <filesystem>
#include <fstream>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

class FinderActions : public EndToEnd {
  protected:
    /// Starts the extension with `env` as it is then, the companion running
    /// with every option on.
    void start() {
        companion({"running", "on"});
        companion({"options", "newTextFile=true", "newTerminalHere=true", "newITermHere=true",
                   "copyPath=true", "batchRename=true", "toggleHiddenFiles=true",
                   "openInVSCode=true"});
        startExtension();
    }
    void choose(std::vector<std::string> args) {
        args.insert(args.begin(), "choose");
        CommandResult result = finder(std::move(args));
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
};

TEST_F(FinderActions, NewTextFileIsShownElseTheAlertIsRaisedOnTheDesktopElseOnStandardError) {
    FakeBusService fileManager(ownBus->address(), "org.freedesktop.FileManager1");
    auto server =
        std::make_unique<FakeBusService>(ownBus->address(), "org.freedesktop.Notifications");
    start();
    const std::string folder = dir.makeFolder("my notes").path();
    choose({"New Text File", "--target", folder});
    EXPECT_TRUE(extension->waitForLine("SUCCESS: Created file at " + folder + "/Untitled.txt"));
    EXPECT_EQ(fileManager.waitForCalls(1),
              std::vector<std::string>{"ShowItems(['file://" + dir.path() +
                                       "/my%20notes/Untitled.txt'], '')"});

    const std::string target = dir / "notes.txt";
    dir.writeFile("notes.txt", "not a folder");
    const std::string informative =
        "Please grant access to notes.txt in the Corvane+ menu bar app, then try again.";
    choose({"New Text File", "--target", target});
    EXPECT_EQ(server->waitForCalls(1),
              std::vector<std::string>{
                  "Notify('Corvane', 0, 'dialog-warning', 'Permission Required', '" + informative +
                  "', ['default', 'OK'], {'urgency': <byte 0x02>}, 0)"});
    EXPECT_TRUE(
        extension->waitForLine("Failed to create file: Cannot create " + target + "/Untitled.txt"));
    EXPECT_EQ(extension->output(Stream::Stderr), "");
    server.reset();
    choose({"New Text File", "--target", target});
    EXPECT_TRUE(extension->waitForLine("Permission Required: " + informative, 10s, Stream::Stderr));
}

// The whole menu, the editor from applications.ini in the user's
// configuration folder, and "Batch Rename" answered by record and by
// notification, with the files renamed.
TEST_F(FinderActions, WithEveryOptionOnTheActionsReachTheirPeers) {
    // The editor records its working folder and its arguments.
    dir.writeFile(
        "editor",
        "#!/bin/sh\n{ pwd; printf '%s|' \"$@\"; } > \"$0.tmp\" && mv \"$0.tmp\" \"$0.log\"");
    fs::permissions(dir / "editor", fs::perms::owner_all);
    fs::create_directories(env["XDG_CONFIG_HOME"] + "/corvane");
    std::ofstream(env["XDG_CONFIG_HOME"] + "/corvane/applications.ini")
        << "[Visual Studio Code]\nExec=" + dir / "editor" + " --reuse-window %F\n";
    start();
    EXPECT_EQ(
        finder({"menu", "--json"}).out,
        R"({"title": "", "items": [)"
        R"({"title": "New Text File", "action": "createNewTextFile:", "symbol": "doc.badge.plus", "enabled": true}, )"
        R"({"title": "New Terminal Here", "action": "openTerminalHere:", "symbol": "terminal", "enabled": true}, )"
        R"({"title": "New iTerm2 Window Here", "action": "openITermHere:", "symbol": "terminal.fill", "enabled": false}, )"
        R"({"title": "Copy Path", "action": "copyPath:", "symbol": "doc.on.doc", "enabled": true}, )"
        R"({"title": "Batch Rename", "action": "batchRenameItems:", "symbol": "text.cursor", "enabled": true}, )"
        R"({"title": "Show/Hide Hidden Files", "action": "toggleHiddenFiles:", "symbol": "eye", "enabled": true}, )"
        R"({"title": "Open in Visual Studio Code", "action": "openInVSCode:", "symbol": "chevron.left.forwardslash.chevron.right", "enabled": true}]})"
        "\n");
    const std::string folder = dir.makeFolder("photos").path();
    auto file = [&](const std::string& name) { return folder + "/" + name; };
    for (const char* name : {"b.txt", "a.txt", "d.txt"})
        dir.writeFile(std::string("photos/") + name, name);
    choose({"Open in Visual Studio Code", "--target", dir.path(), file("b.txt"), dir / "c\nd"});
    ASSERT_TRUE(waitUntil([&] { return fs::exists(dir / "editor.log"); }));
    EXPECT_EQ(dir.readFile("editor.log"),
              folder + "\n--reuse-window|" + file("b.txt") + "|" + dir / "c\nd|");

    // By record: the poll timer finds it within half a second.
    companion({"execute", "--base", "Photo", file("b.txt"), file("missing.txt"), file("a.txt")});
    auto result = [&](const std::string& text) {
        return waitUntil([&] {
            return companion({"read", "batchRenameResult"}).out.contains(text);
        });
    };
    EXPECT_TRUE(result(R"("failures": ["missing.txt"])"));
    // The record goes once its result is stored.
    EXPECT_TRUE(waitUntil([&] {
        return companion({"read", "batchRenameExecuteRequest"}).out == "null\n";
    }));
    // By notification: the result is stored as well as posted.
    companion({"execute", "--via", "notification", "--base", "Photo", file("d.txt")});
    EXPECT_TRUE(result(R"("successCount": 1, "failures": [])"));
    for (const auto& [name, contents] :
         {std::pair{"Photo1.txt", "a.txt"}, {"Photo2.txt", "b.txt"}, {"Photo1 (1).txt", "d.txt"}})
        EXPECT_EQ(dir.readFile(std::string("photos/") + name), contents) << name;
    EXPECT_NE(companion({"listen", "--count", "1", "--timeout", "0.2", "Corvane.Never"}, 1)
                  .err.find("timed out after 0 of 1 notifications"),
              std::string::npos);
    extension->sendSignal(SIGINT);
    EXPECT_EQ(extension->wait(), 0);
}

} // namespace
} // namespace corvane::testing
