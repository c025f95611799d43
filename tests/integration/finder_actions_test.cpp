// The Finder actions end to end: corvane-findersync on a private bus, driven
// by corvane-finder and corvane-companion, with the desktop's file manager and
// notification server played by this process.

#include "tests/integration/fake_bus_service.h"
#include "tests/integration/process_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// Waits until `path` exists; its writer moves it into place whole.
bool waitForFile(const std::string& path, std::chrono::milliseconds timeout = 10s) {
    for (auto deadline = std::chrono::steady_clock::now() + timeout; !fs::exists(path);) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

/// `read KEY` of the companion once it prints something other than `previous`.
std::string readChanged(const Environment& env, const std::string& key,
                        const std::string& previous) {
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
        if (std::string now = runCommand({CORVANE_COMPANION, "read", key}, env).out;
            now != previous)
            return now;
    }
    return previous;
}

class FinderActionsEndToEnd : public ::testing::Test {
  protected:
    /// Starts the extension with `env` as it is then, the companion running.
    void startExtension() {
        companion({"running", "on"});
        companion({"options", "newTextFile=true", "newTerminalHere=true", "copyPath=true",
                   "batchRename=true", "toggleHiddenFiles=true", "openInVSCode=true"});
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (finder({"menu"}).exitStatus == 0)
                return;
            std::this_thread::sleep_for(25ms);
        }
        FAIL() << "corvane-findersync did not start serving:\n"
               << extension->output(Stream::Stderr);
    }

    /// The extension's log lines other than those of its loads, which every
    /// menu request writes.
    std::vector<std::string> actionLines() const {
        std::vector<std::string> lines;
        for (std::string& line : extension->lines())
            if (!line.starts_with("[CorvaneExt] ") && !line.starts_with("Loaded secured URL"))
                lines.push_back(std::move(line));
        return lines;
    }

    CommandResult finder(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_FINDER);
        return runCommand(std::move(args), env);
    }
    void choose(std::vector<std::string> args) {
        args.insert(args.begin(), "choose");
        CommandResult result = finder(std::move(args));
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    void companion(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(std::move(args), env);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    /// A companion listening for one notification named `name`.
    std::unique_ptr<Process> listen(const std::string& name) {
        auto listener = std::make_unique<Process>(std::vector<std::string>{CORVANE_COMPANION,
                                                                           "listen", "--count", "1",
                                                                           "--timeout", "10", name},
                                                  env);
        EXPECT_TRUE(listener->waitForLine("listening", 10s, Stream::Stderr));
        return listener;
    }
    /// The line a listener printed for its one notification.
    static std::string heard(Process& listener) {
        EXPECT_EQ(listener.wait(15s), 0) << listener.output(Stream::Stderr);
        auto lines = listener.lines();
        return lines.empty() ? "" : lines.front();
    }
    /// An executable script in the temporary folder.
    std::string script(const std::string& name, const std::string& body) {
        std::string path = dir / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    void writeApplications(const std::string& ini) {
        fs::create_directories(env["XDG_CONFIG_HOME"] + "/corvane");
        std::ofstream(env["XDG_CONFIG_HOME"] + "/corvane/applications.ini") << ini;
    }

    PrivateBus bus;
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
    std::unique_ptr<Process> extension;
};

TEST_F(FinderActionsEndToEnd, NewTextFileThreeTimesCreatesThreeEmptyFilesAndShowsEach) {
    FakeBusService fileManager(bus.address(), FakeBusService::fileManager());
    startExtension();
    const std::string folder = dir.makeFolder("my notes").path();
    const std::string names[] = {"Untitled.txt", "Untitled 1.txt", "Untitled 2.txt"};
    for (const std::string& name : names) {
        choose({"New Text File", "--target", folder});
        EXPECT_TRUE(extension->waitForLine("SUCCESS: Created file at " + folder + "/" + name));
    }
    for (const std::string& name : names)
        EXPECT_EQ(fs::file_size(folder + "/" + name), 0u) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
    EXPECT_EQ(actionLines().size(), 3u);

    auto calls = fileManager.waitForCalls(3);
    ASSERT_EQ(calls.size(), 3u);
    const std::string uris[] = {"Untitled.txt", "Untitled%201.txt", "Untitled%202.txt"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].method, "ShowItems");
        EXPECT_EQ(calls[i].strings, (std::vector<std::string>{
                                        "file://" + dir.path() + "/my%20notes/" + uris[i], ""}));
    }
}

TEST_F(FinderActionsEndToEnd, AFailedWriteRaisesTheAlertOnTheDesktopElseOnStandardError) {
    const std::string target = dir / "notes.txt";
    std::ofstream(target) << "not a folder";
    const std::string informative =
        "Please grant access to notes.txt in the Corvane+ menu bar app, then try again.";
    startExtension();
    {
        FakeBusService server(bus.address(), FakeBusService::notifications());
        choose({"New Text File", "--target", target});
        auto calls = server.waitForCalls(1);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].method, "Notify");
        EXPECT_EQ(calls[0].strings,
                  (std::vector<std::string>{"Corvane", "dialog-warning", "Permission Required",
                                            informative, "default", "OK"}));
        EXPECT_NE(calls[0].text.find("{'urgency': <byte 0x02>}"), std::string::npos)
            << calls[0].text;
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
    EXPECT_EQ(actionLines().size(), 2u);
    EXPECT_EQ(fs::file_size(target), 12u);
}

TEST_F(FinderActionsEndToEnd, CopyPathThenPasteGivesThePathsOnLinesAsTheyAre) {
    startExtension();
    const std::vector<std::string> items = {dir / "a b.txt", dir / "caf\xe9", dir / "tab\there"};
    choose({"Copy Path", "--target", dir.path(), items[0], items[1], items[2]});
    CommandResult pasted = finder({"paste"});
    EXPECT_EQ(pasted.exitStatus, 0) << pasted.err;
    EXPECT_EQ(pasted.out, items[0] + "\n" + items[1] + "\n" + items[2]);
    EXPECT_EQ(fs::status(dir / "runtime/corvane/pasteboard").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // A display whose clipboard cannot be reached: the reason, and exit 1.
    env["DISPLAY"] = ":4711";
    CommandResult unreachable = finder({"paste"});
    EXPECT_EQ(unreachable.exitStatus, 1);
    EXPECT_TRUE(unreachable.err.starts_with("corvane-finder: cannot paste: xclip: "))
        << unreachable.err;
    EXPECT_EQ(unreachable.out, "");
}

TEST_F(FinderActionsEndToEnd, CopyPathUsesTheX11ClipboardUnderXvfb) {
    if (runCommand({"sh", "-c", "command -v Xvfb && command -v xclip"}, env).exitStatus != 0)
        GTEST_SKIP() << "Xvfb or xclip is not installed (scripts/install-deps.sh installs both)";
    Process xvfb({"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x200x24"},
                 env);
    std::optional<std::string> display = xvfb.waitForLine("", 10s);
    ASSERT_TRUE(display) << xvfb.output(Stream::Stderr);
    env["DISPLAY"] = ":" + *display;
    startExtension();

    choose({"Copy Path", "--target", dir.path(), dir / "x.txt", dir / "y dir", dir / "z.md"});
    CommandResult pasted = finder({"paste"});
    EXPECT_EQ(pasted.exitStatus, 0) << pasted.err;
    EXPECT_EQ(pasted.out, dir / "x.txt" + "\n" + dir / "y dir" + "\n" + dir / "z.md");
    CommandResult xclip = runCommand({"xclip", "-selection", "clipboard", "-out"}, env);
    EXPECT_EQ(xclip.out, pasted.out) << "the desktop's own clipboard";
    EXPECT_FALSE(fs::exists(dir / "runtime/corvane/pasteboard")) << "not the fallback file";
}

TEST_F(FinderActionsEndToEnd, TerminalAndEditorFromApplicationsIniStartWhereAndWithWhatTheyShould) {
    // Each script records its working folder, the number of its arguments and them.
    const std::string record =
        R"({ pwd; echo $#; printf '%s|' "$@"; } > "$0.tmp" && mv "$0.tmp" "$0.log")";
    const std::string terminal = script("terminal", record);
    const std::string editor = script("editor", record);
    writeApplications("[Terminal]\nExec=" + terminal + "\n[Visual Studio Code]\nExec=" + editor +
                      " --reuse-window %F\n");
    startExtension();
    const std::string folder = dir.makeFolder("project x").path();
    std::ofstream(folder + "/b.txt") << "";

    choose({"New Terminal Here", "--target", folder});
    ASSERT_TRUE(waitForFile(terminal + ".log"));
    EXPECT_EQ(readText(terminal + ".log"), folder + "\n0\n|");

    choose({"Open in Visual Studio Code", "--target", dir.path(), folder + "/b.txt", folder,
            dir / "c\nd"});
    ASSERT_TRUE(waitForFile(editor + ".log"));
    EXPECT_EQ(readText(editor + ".log"),
              folder + "\n4\n--reuse-window|" + folder + "/b.txt|" + folder + "|" + dir / "c\nd|");
}

TEST_F(FinderActionsEndToEnd, AnEditorThatCannotStartIsReportedToTheCompanion) {
    // Present and executable, so the menu offers it; its interpreter is missing.
    const std::string editor = script("editor", "");
    std::ofstream(editor) << "#!/nonexistent/interpreter\n";
    writeApplications("[Visual Studio Code]\nExec=" + editor + " %F\n");
    startExtension();
    auto listener = listen("Corvane.OpenInVSCode");
    choose({"Open in Visual Studio Code", "--target", dir.path()});
    ASSERT_EQ(listener->wait(10s), 0) << listener->output(Stream::Stderr);
    EXPECT_EQ(listener->lines(),
              std::vector<std::string>{
                  R"({"name": "Corvane.OpenInVSCode", "userInfo": {"isError": true, )"
                  R"("message": "Failed to open in VS Code: Failed to execute child process )"
                  "\u201C" +
                  editor + "\u201D (No such file or directory)\"}}"});
}

TEST_F(FinderActionsEndToEnd, TheToggleReachesTheCompanion) {
    startExtension();
    auto listener = listen("Corvane.HiddenFilesToggle");
    choose({"Show/Hide Hidden Files"});
    ASSERT_EQ(listener->wait(10s), 0) << listener->output(Stream::Stderr);
    EXPECT_EQ(listener->lines(),
              std::vector<std::string>{R"({"name": "Corvane.HiddenFilesToggle", "userInfo": {}})"});
}

// "Batch Rename" sends the request; the companion answers once by record
// and once by notification, and the files are renamed on disk.
TEST_F(FinderActionsEndToEnd, BatchRenameRoundTripByRecordAndByNotification) {
    startExtension();
    const std::string folder = dir.makeFolder("photos").path();
    auto file = [&](const std::string& name) { return folder + "/" + name; };
    for (const char* name : {"b.txt", "a.txt", "c.txt", "d.txt"})
        std::ofstream(file(name)) << name;
    auto request = listen("Corvane.BatchRenameRequest");
    CommandResult chosen =
        runCommand({CORVANE_FINDER, "choose", "Batch Rename", file("b.txt"), file("a.txt")}, env);
    ASSERT_EQ(chosen.exitStatus, 0) << chosen.err;
    const std::string paths = "[\"" + file("b.txt") + "\", \"" + file("a.txt") + "\"]";
    EXPECT_EQ(heard(*request),
              "{\"name\": \"Corvane.BatchRenameRequest\", \"userInfo\": {\"paths\": " + paths +
                  "}}");
    const std::string record =
        runCommand({CORVANE_COMPANION, "read", "batchRenameRequest"}, env).out;
    EXPECT_NE(record.find("\"paths\": " + paths + ", \"isError\": false, \"message\": \"\"}"),
              std::string::npos)
        << record;

    // By record: the poll timer finds it within half a second.
    companion({"execute", "--base", "Photo", file("b.txt"), file("missing.txt"), file("a.txt")});
    std::string result = readChanged(env, "batchRenameResult", "null\n");
    EXPECT_NE(result.find("\"successCount\": 2, \"failures\": [\"missing.txt\"]}"),
              std::string::npos)
        << result;
    EXPECT_TRUE(fs::exists(file("Photo1.txt")) && fs::exists(file("Photo2.txt")));
    EXPECT_EQ(runCommand({CORVANE_COMPANION, "read", "batchRenameExecuteRequest"}, env).out,
              "null\n");

    // By notification: the result comes back as a notification and a record.
    auto answer = listen("Corvane.BatchRenameResult");
    companion(
        {"execute", "--via", "notification", "--base", "Photo", file("d.txt"), file("c.txt")});
    EXPECT_EQ(heard(*answer), "{\"name\": \"Corvane.BatchRenameResult\", \"userInfo\": "
                              "{\"successCount\": 2, \"failures\": []}}");
    result = readChanged(env, "batchRenameResult", result);
    EXPECT_NE(result.find("\"successCount\": 2, \"failures\": []}"), std::string::npos) << result;
    // Each batch counts from 1; the names the first one took are kept.
    const std::pair<const char*, const char*> kept[] = {{"Photo1.txt", "a.txt"},
                                                        {"Photo2.txt", "b.txt"},
                                                        {"Photo1 (1).txt", "c.txt"},
                                                        {"Photo2 (1).txt", "d.txt"}};
    for (const auto& [name, contents] : kept)
        EXPECT_EQ(readText(file(name)), contents) << name;
}

} // namespace
} // namespace corvane::testing
