// "New Text File" on real temporary folders. The names one after another,
// the reveal and the alert's text are seen end to end.

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
        controller.targeted = FileURL::fromPath(temp / folder);
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
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Failed to create file: ")) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("Failed to create file: ").size());
    EXPECT_TRUE(alerts.shown.empty()) << "the alert waits for the main loop";
    EXPECT_EQ(scheduler.runQueuedTasks(), 1u);
    EXPECT_EQ(steps(), (CallLog{"security.startAccessing " + target,
                                "files.createFileAtomically " + target + "/Untitled.txt",
                                "scheduler.postToMainQueue", "security.stopAccessing " + target,
                                "alerts.runModal Permission Required"}));
    EXPECT_EQ(alerts.shown.at(0).informativeText,
              "Please grant access to notes.txt in the Corvane+ menu bar app, then try again.");
}

TEST_F(NewTextFileTest,
       WithoutATargetTheFileAndTerminalActionsLogOneLineAndAnUnknownActionIsRefused) {
    for (const char* selector : {"createNewTextFile:", "openTerminalHere:", "openITermHere:"}) {
        clearRecords();
        ASSERT_TRUE(finderSync->performAction(selector));
        EXPECT_EQ(log.str(), "Could not get target directory\n") << selector;
        EXPECT_EQ(calls, CallLog{}) << selector;
    }
    EXPECT_EQ(scheduler.runQueuedTasks(), 0u);
    EXPECT_FALSE(finderSync->respondsToSelector("noSuchAction:") ||
                 finderSync->performAction("noSuchAction:"));
}

} // namespace
} // namespace corvane
