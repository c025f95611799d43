// The Finder actions end to end: corvane-findersync on a private bus, driven
// by corvane-finder and corvane-companion, with the desktop's file manager and
// notification server played by this process.

#include "tests/integration/end_to_end.h"
#include "tests/integration/fake_bus_service.h"

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
        companion({"options", "newTextFile=true", "newTerminalHere=true", "copyPath=true",
                   "batchRename=true", "toggleHiddenFiles=true", "openInVSCode=true"});
        startExtension();
    }
    void choose(std::vector<std::string> args) {
        args.insert(args.begin(), "choose");
        CommandResult result = finder(std::move(args));
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    /// The lines of a listener that heard everything it waited for.
    static std::vector<std::string> heard(Process& listener) {
        EXPECT_EQ(listener.wait(), 0) << listener.output(Stream::Stderr);
        return listener.lines();
    }
    /// The companion's `read KEY`.
    std::string read(const std::string& key) const { return companion({"read", key}).out; }
    /// An executable script in the temporary folder.
    std::string script(const std::string& name, const std::string& body) const {
        dir.writeFile(name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(dir / name, fs::perms::owner_all);
        return dir / name;
    }
};

TEST_F(FinderActions, NewTextFileThreeTimesCreatesThreeEmptyFilesAndShowsEach) {
    FakeBusService fileManager(ownBus->address(), "org.freedesktop.FileManager1");
    start();
    const std::string folder = dir.makeFolder("my notes").path();
    for (const char* name : {"Untitled.txt", "Untitled 1.txt", "Untitled 2.txt"}) {
        choose({"New Text File", "--target", folder});
        EXPECT_TRUE(extension->waitForLine("SUCCESS: Created file at " + folder + "/" + name));
        EXPECT_EQ(fs::file_size(folder + "/" + name), 0u) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
    const std::string uri = "file://" + dir.path() + "/my%20notes/Untitled";
    EXPECT_EQ(fileManager.waitForCalls(3),
              (std::vector<std::string>{"ShowItems(['" + uri + ".txt'], '')",
                                        "ShowItems(['" + uri + "%201.txt'], '')",
                                        "ShowItems(['" + uri + "%202.txt'], '')"}));
}

TEST_F(FinderActions, AFailedWriteRaisesTheAlertOnTheDesktopElseOnStandardError) {
    const std::string target = dir / "notes.txt";
    dir.writeFile("notes.txt", "not a folder");
    const std::string informative =
        "Please grant access to notes.txt in the Corvane+ menu bar app, then try again.";
    start();
    {
        FakeBusService server(ownBus->address(), "org.freedesktop.Notifications");
        choose({"New Text File", "--target", target});
        EXPECT_EQ(server.waitForCalls(1),
                  std::vector<std::string>{
                      "Notify('Corvane', 0, 'dialog-warning', 'Permission Required', '" +
                      informative + "', ['default', 'OK'], {'urgency': <byte 0x02>}, 0)"});
    }
    auto failure = extension->waitForLine("Failed to create file: ");
    ASSERT_TRUE(failure);
    EXPECT_TRUE(
        failure->starts_with("Failed to create file: Cannot create " + target + "/Untitled.txt"))
        << *failure;
    EXPECT_EQ(extension->output(Stream::Stderr), "");

    // With no notification server the alert is one line on standard error.
    choose({"New Text File", "--target", target});
    EXPECT_TRUE(extension->waitForLine("Permission Required: " + informative, 10s, Stream::Stderr));
    EXPECT_EQ(dir.readFile("notes.txt"), "not a folder");
}

enum class Desktop { None, Xvfb };

class CopyPath : public FinderActions, public ::testing::WithParamInterface<Desktop> {};

TEST_P(CopyPath, ThenPasteGivesThePathsOnLinesAsTheyAre) {
    std::unique_ptr<VirtualDisplay> display;
    if (GetParam() == Desktop::Xvfb) {
        if (runCommand({"xclip", "-version"}, env).exitStatus == 127)
            GTEST_SKIP() << "xclip is not installed (scripts/install-deps.sh installs it)";
        display = std::make_unique<VirtualDisplay>(env, "320x200x24");
        if (display->name().empty())
            GTEST_SKIP() << "Xvfb did not start (scripts/install-deps.sh installs it)";
        env["DISPLAY"] = display->name();
    }
    start();
    const std::vector<std::string> items = {dir / "a b.txt", dir / "caf\xe9", dir / "tab\there"};
    choose({"Copy Path", "--target", dir.path(), items[0], items[1], items[2]});
    CommandResult pasted = finder({"paste"});
    EXPECT_EQ(pasted.exitStatus, 0) << pasted.err;
    EXPECT_EQ(pasted.out, items[0] + "\n" + items[1] + "\n" + items[2]);
    if (display) {
        CommandResult xclip = runCommand({"xclip", "-selection", "clipboard", "-out"}, env);
        EXPECT_EQ(xclip.out, pasted.out) << "the desktop's own clipboard";
        EXPECT_FALSE(fs::exists(dir / "runtime/corvane/pasteboard")) << "not the fallback file";
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, CopyPath, ::testing::Values(Desktop::None, Desktop::Xvfb),
                         [](const auto& info) {
                             return info.param == Desktop::Xvfb ? "Xvfb" : "NoDisplay";
                         });

TEST_F(FinderActions, ProgramsFromApplicationsIniStartWhereAndWithWhatTheyShould) {
    // Each script records its working folder, the number of its arguments and them.
    const std::string record =
        R"({ pwd; echo $#; printf '%s|' "$@"; } > "$0.tmp" && mv "$0.tmp" "$0.log")";
    const std::string terminal = script("terminal", record), editor = script("editor", record);
    fs::create_directories(env["XDG_CONFIG_HOME"] + "/corvane");
    std::ofstream(env["XDG_CONFIG_HOME"] + "/corvane/applications.ini")
        << "[Terminal]\nExec=" + terminal + "\n[Visual Studio Code]\nExec=" + editor +
               " --reuse-window %F\n";
    start();
    const std::string folder = dir.makeFolder("project x").path();
    choose({"New Terminal Here", "--target", folder});
    choose({"Open in Visual Studio Code", "--target", dir.path(), folder + "/b.txt", folder,
            dir / "c\nd"});
    ASSERT_TRUE(
        waitUntil([&] { return fs::exists(terminal + ".log") && fs::exists(editor + ".log"); }));
    EXPECT_EQ(dir.readFile("terminal.log"), folder + "\n0\n|");
    EXPECT_EQ(dir.readFile("editor.log"),
              folder + "\n4\n--reuse-window|" + folder + "/b.txt|" + folder + "|" + dir / "c\nd|");

    // The toggle, and an editor that cannot start (still there and executable,
    // so the menu offers it; its interpreter is missing), reach the companion.
    dir.writeFile("editor", "#!/nonexistent/interpreter\n");
    auto listener = listen({"Corvane.HiddenFilesToggle", "Corvane.OpenInVSCode"}, 2);
    choose({"Show/Hide Hidden Files"});
    choose({"Open in Visual Studio Code", "--target", dir.path()});
    EXPECT_EQ(heard(*listener),
              (std::vector<std::string>{
                  R"({"name": "Corvane.HiddenFilesToggle", "userInfo": {}})",
                  R"({"name": "Corvane.OpenInVSCode", "userInfo": {"isError": true, )"
                  R"("message": "Failed to open in VS Code: Failed to execute child process )"
                  "\u201C" +
                      editor + "\u201D (No such file or directory)\"}}"}));
}

// "Batch Rename" sends the request; the companion answers once by record
// and once by notification, and the files are renamed on disk.
TEST_F(FinderActions, BatchRenameRoundTripByRecordAndByNotification) {
    start();
    const std::string folder = dir.makeFolder("photos").path();
    auto file = [&](const std::string& name) { return folder + "/" + name; };
    for (const char* name : {"b.txt", "a.txt", "c.txt", "d.txt"})
        dir.writeFile(std::string("photos/") + name, name);
    auto request = listen({"Corvane.BatchRenameRequest"});
    choose({"Batch Rename", file("b.txt"), file("a.txt")});
    const std::string paths = "[\"" + file("b.txt") + "\", \"" + file("a.txt") + "\"]";
    EXPECT_EQ(heard(*request),
              std::vector<std::string>{"{\"name\": \"Corvane.BatchRenameRequest\", "
                                       "\"userInfo\": {\"paths\": " +
                                       paths + "}}"});
    EXPECT_NE(read("batchRenameRequest")
                  .find("\"paths\": " + paths + ", \"isError\": false, \"message\": \"\"}"),
              std::string::npos);

    // By record: the poll timer finds it within half a second.
    companion({"execute", "--base", "Photo", file("b.txt"), file("missing.txt"), file("a.txt")});
    std::string result;
    EXPECT_TRUE(
        waitUntil([&] { return (result = read("batchRenameResult")) != "null\n"; }, 10s, 50ms));
    EXPECT_NE(result.find("\"successCount\": 2, \"failures\": [\"missing.txt\"]}"),
              std::string::npos)
        << result;
    EXPECT_EQ(read("batchRenameExecuteRequest"), "null\n");

    // By notification: the result comes back as a notification and a record.
    auto answer = listen({"Corvane.BatchRenameResult"});
    companion(
        {"execute", "--via", "notification", "--base", "Photo", file("d.txt"), file("c.txt")});
    EXPECT_EQ(heard(*answer), std::vector<std::string>{"{\"name\": \"Corvane.BatchRenameResult\", "
                                                       "\"userInfo\": {\"successCount\": 2, "
                                                       "\"failures\": []}}"});
    EXPECT_TRUE(waitUntil(
        [&] {
            return read("batchRenameResult").find("\"successCount\": 2, \"failures\": []}") !=
                   std::string::npos;
        },
        10s, 50ms));
    // Each batch counts from 1; the names the first one took are kept.
    const std::pair<const char*, const char*> kept[] = {{"Photo1.txt", "a.txt"},
                                                        {"Photo2.txt", "b.txt"},
                                                        {"Photo1 (1).txt", "c.txt"},
                                                        {"Photo2 (1).txt", "d.txt"}};
    for (const auto& [name, contents] : kept)
        EXPECT_EQ(dir.readFile(std::string("photos/") + name), contents) << name;
}

} // namespace
} // namespace corvane::testing
