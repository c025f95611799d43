// The menu commands through the fakes, "New Text File" on real temporary
// folders. Seen end to end: the names one after another, the reveal, the
// alert's text and log line, the refusal of an unknown action, the programs
// that the application paths stand for, and the hidden files toggle.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using fakes::CallLog;

/// The targets lie inside a secured folder, so each write runs in the access bracket.
class NewTextFileTest : public fakes::FinderSyncFixture {
  protected:
    NewTextFileTest() {
        grantFolder("g", temp.makeFolder("g"));
        makeFinderSync();
    }
    /// Chooses "New Text File" for `folder` inside the granted one.
    void createIn(const std::string& folder) {
        controller.setRequestContext(FileURL::fromPath(temp / folder), {});
        clearRecords();
        ASSERT_TRUE(finderSync->performAction("createNewTextFile:"));
    }
    /// What the action did, apart from asking for the target and testing names.
    CallLog steps() const {
        return callsStartingWith(
            {"security.", "files.createFileAtomically", "workspace.", "scheduler.", "alerts."});
    }
};

TEST_F(NewTextFileTest, TakesTheFirstFreeNameEvenOneTakenDuringTheWriteAndKeepsAccessOpen) {
    // A folder counts as taken, another spelling does not; a gap is taken.
    fs::create_directories(temp / "g/f/Untitled.txt");
    for (const char* name : {"Untitled 2.txt", "untitled 1.txt", "Untitled 3.txt"})
        temp.writeFile(std::string("g/f/") + name, "keep");
    // Another process takes "Untitled 1.txt" after the look, before the write.
    files.exists[temp / "g/f/Untitled 1.txt"] = false;
    temp.writeFile("g/f/Untitled 1.txt", "theirs");
    createIn("g/f");

    const std::string created = temp / "g/f/Untitled 4.txt", folder = temp / "g/f";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 6) << "no temporary file";
    EXPECT_EQ(fs::file_size(created), 0u);
    EXPECT_EQ(temp.readFile("g/f/Untitled 1.txt"), "theirs");
    EXPECT_EQ(logLines(), std::vector<std::string>{"SUCCESS: Created file at " + created});
    EXPECT_EQ(steps(), (CallLog{"security.startAccessing " + folder,
                                "files.createFileAtomically " + temp / "g/f/Untitled 1.txt",
                                "files.createFileAtomically " + created,
                                "workspace.selectFile " + created + " in " + folder,
                                "security.stopAccessing " + folder}));
}

TEST_F(NewTextFileTest, AFailedWriteLogsEndsAccessThenAlertsFromTheMainLoopAndRevealsNothing) {
    // A regular file as the target: no file can be made inside it, root or not.
    temp.writeFile("g/notes.txt", "x");
    createIn("g/notes.txt");
    const std::string target = temp / "g/notes.txt";
    EXPECT_EQ(scheduler.runQueuedTasks(), 1u);
    EXPECT_EQ(steps(), (CallLog{"security.startAccessing " + target,
                                "files.createFileAtomically " + target + "/Untitled.txt",
                                "scheduler.postToMainQueue", "security.stopAccessing " + target,
                                "alerts.runModal Permission Required"}));
}

TEST_F(NewTextFileTest, WithoutATargetTheFileAndTerminalActionsLogOneLineAndDoNothing) {
    for (const char* selector : {"createNewTextFile:", "openTerminalHere:", "openITermHere:"}) {
        clearRecords();
        ASSERT_TRUE(finderSync->performAction(selector));
        EXPECT_EQ(log.str(), "Could not get target directory\n") << selector;
        EXPECT_EQ(calls, CallLog{}) << selector;
    }
    EXPECT_EQ(scheduler.runQueuedTasks(), 0u);
}

FileURL url(std::string_view path) {
    return FileURL::fromPath(path);
}

class FinderActionsTest : public fakes::FinderSyncFixture {
  protected:
    FinderActionsTest() { makeFinderSync(); }

    /// Runs the action named `selector` with fresh records and only `apps` installed.
    void run(const char* selector, const std::vector<std::string>& apps = {}) {
        installOnly(apps);
        clearRecords();
        ASSERT_TRUE(finderSync->performAction(selector));
    }
};

TEST_F(FinderActionsTest, TerminalsOpenTheTargetAloneWithThePreferredAppElseTheUntestedFallback) {
    // A file as the target is passed on as it is; the selection plays no part.
    controller.setRequestContext(url("/home/a/notes.txt"), {url("/x"), url("/y")});
    for (const auto& [selector, installed, opensWith, tested] :
         {std::tuple{"openTerminalHere:", kSystemTerminal, kSystemTerminal, kSystemTerminal},
          {"openTerminalHere:", kTerminal, kTerminal, kSystemTerminal},
          {"openITermHere:", kITerm, kITerm, kITerm},
          {"openITermHere:", std::string(), kITerm2, kITerm}}) {
        run(selector, {installed});
        EXPECT_EQ(calls, (CallLog{"files.fileExists " + tested,
                                  "workspace.openURLs " + opensWith + " /home/a/notes.txt"}));
    }
    EXPECT_EQ(workspace.completePendingOpens(), 0u) << "fire and forget";
}

TEST_F(FinderActionsTest, CopyPathCopiesTheSelectionElseTheTargetAsTheyAre) {
    controller.setRequestContext(url("/Users/a"), {url("/b/line\nfeed"), url("/b/line\nfeed")});
    run("copyPath:");
    EXPECT_EQ(pasteboard.string(), "/b/line\nfeed\n/b/line\nfeed");
    controller.setRequestContext(url("/Users/a"), {});
    run("copyPath:");
    EXPECT_EQ(pasteboard.string(), "/Users/a");
    controller.setRequestContext(std::nullopt, {});
    run("copyPath:");
    EXPECT_EQ(pasteboard.string(), "/Users/a") << "nothing to copy: the last copy stays";
}

TEST_F(FinderActionsTest, VSCodeOpensTheSelectionElseTheTargetAndReportsEachFailure) {
    controller.setRequestContext(url("/p"), {url("/p/b.txt"), url("/p/a dir")});
    run("openInVSCode:");
    EXPECT_EQ(callsStartingWith({"workspace."}), CallLog{}) << "not installed";
    run("openInVSCode:", {kVSCode, kInsiders});
    EXPECT_EQ(callsStartingWith({"workspace."}),
              CallLog{"workspace.openURLs " + kVSCode + " /p/b.txt /p/a dir"});
    controller.setRequestContext(url("/p"), {});
    workspace.nextOutcome = makeError("It could not be started.");
    run("openInVSCode:", {kInsiders});
    EXPECT_EQ(callsStartingWith({"workspace."}),
              CallLog{"workspace.openURLs " + kInsiders + " /p"});
    controller.setRequestContext(std::nullopt, {});
    run("openInVSCode:", {kInsiders});
    EXPECT_EQ(callsStartingWith({"workspace."}), CallLog{});

    EXPECT_EQ(notifications.posted.size(), 2u) << "an open is reported when it completes";
    EXPECT_EQ(workspace.completePendingOpens(), 2u);
    std::vector<PlistDictionary> records;
    for (const Notification& posted : notifications.posted)
        records.push_back(posted.name == "Corvane.OpenInVSCode" ? posted.userInfo
                                                                : PlistDictionary{});
    auto feedback = [](std::string text) {
        return PlistDictionary{{"isError", true}, {"message", std::move(text)}};
    };
    EXPECT_EQ(records,
              (std::vector{feedback("Visual Studio Code is not installed."),
                           feedback("Select a file or folder in Finder to open in VS Code."),
                           feedback("Failed to open in VS Code: It could not be started.")}));
    EXPECT_EQ(log.str(), "");
}

TEST_F(FinderActionsTest, WorkQueuedForLaterDoesNothingOnceTheObjectIsGone) {
    controller.setRequestContext(url("/p"), {});
    workspace.nextOutcome = makeError("It could not be started.");
    run("openInVSCode:", {kVSCode});
    // A folder that is a regular file: the write fails and queues the alert.
    temp.writeFile("file", "x");
    controller.setRequestContext(url(temp / "file"), {});
    run("createNewTextFile:");
    const std::size_t posted = notifications.posted.size();
    finderSync.reset();
    EXPECT_EQ(workspace.completePendingOpens(), 1u);
    EXPECT_EQ(scheduler.runQueuedTasks(), 1u);
    EXPECT_EQ(notifications.posted.size(), posted);
    EXPECT_EQ(callsStartingWith({"alerts."}), CallLog{});
}

} // namespace
} // namespace corvane
