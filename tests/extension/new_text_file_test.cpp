// "New Text File" on real temporary folders: the name, the empty file, the
// log lines, the reveal, the access bracket and the alert.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using fakes::CallLog;

/// The targets lie inside a secured folder, so each write runs in the access bracket.
class NewTextFileTest : public fakes::FinderSyncFixture {
  protected:
    void SetUp() override {
        grantFolder("g", granted);
        makeFinderSync();
        clearRecords();
    }

    /// The names in `folder`, hidden ones (a left-behind temporary file) included.
    static std::set<std::string> entries(const FileURL& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    /// What the action did, apart from asking for the target and testing names.
    CallLog steps() const {
        return callsStartingWith(
            {"security.", "files.createFileAtomically", "workspace.", "scheduler.", "alerts."});
    }

    const FileURL granted = temp.makeFolder("granted");
};

TEST_F(NewTextFileTest, TakesTheFirstFreeNameAndRevealsTheEmptyFileWhileAccessIsOpen) {
    struct Row {
        std::vector<std::string> files, folders, danglingLinks;
        std::string expected;
    };
    const Row rows[] = {
        {{}, {}, {}, "Untitled.txt"},
        {{"Untitled.txt", "Untitled 2.txt"}, {}, {}, "Untitled 1.txt"},
        {{"Untitled 1.txt"}, {}, {}, "Untitled.txt"},
        {{"untitled.txt", "Untitled"}, {"Untitled.txt"}, {}, "Untitled 1.txt"},
        {{}, {"Untitled 1.txt"}, {"Untitled.txt"}, "Untitled 2.txt"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected + " in row " + std::to_string(n));
        const FileURL folder = temp.makeFolder("granted/row" + std::to_string(n++));
        for (const std::string& name : row.files)
            temp.writeFile("granted/" + folder.lastPathComponent() + "/" + name, "keep");
        for (const std::string& name : row.folders)
            fs::create_directory(folder.appending(name).path());
        for (const std::string& name : row.danglingLinks)
            fs::create_symlink("gone", folder.appending(name).path());
        std::set<std::string> expectedEntries = entries(folder);
        expectedEntries.insert(row.expected);
        controller.setTargetedURL(folder);
        clearRecords();

        finderSync->createNewTextFile();

        const std::string path = folder.appending(row.expected).path();
        EXPECT_EQ(entries(folder), expectedEntries) << "no temporary file, nothing replaced";
        EXPECT_EQ(fs::file_size(path), 0u);
        EXPECT_EQ(logLines(), std::vector<std::string>{"SUCCESS: Created file at " + path});
        EXPECT_EQ(steps(), (CallLog{"security.startAccessing " + folder.path(),
                                    "files.createFileAtomically " + path,
                                    "workspace.selectFile " + path + " in " + folder.path(),
                                    "security.stopAccessing " + folder.path()}));
    }
}

TEST_F(NewTextFileTest, ANameTakenDuringTheWriteIsKeptAndTheNextFreeNameUsed) {
    const FileURL folder = temp.makeFolder("race");
    // The existence test misses an "Untitled.txt" that is there when the write comes.
    temp.writeFile("race/Untitled.txt", "someone else's");
    files.setExists(folder.appending("Untitled.txt").path(), false);
    controller.setTargetedURL(folder);

    finderSync->createNewTextFile();

    const std::string taken = folder.appending("Untitled.txt").path();
    const std::string created = folder.appending("Untitled 1.txt").path();
    EXPECT_EQ(entries(folder), (std::set<std::string>{"Untitled.txt", "Untitled 1.txt"}));
    EXPECT_EQ(fs::file_size(taken), 14u);
    EXPECT_EQ(fs::file_size(created), 0u);
    EXPECT_EQ(logLines(), std::vector<std::string>{"SUCCESS: Created file at " + created});
    EXPECT_EQ(scheduler.runQueuedTasks(), 0);
}

TEST_F(NewTextFileTest, AFailedWriteLogsEndsAccessThenAlertsFromTheMainLoopAndRevealsNothing) {
    // A regular file as the target: no file can be made inside it, root or not.
    temp.writeFile("granted/notes.txt", "x");
    const FileURL target = granted.appending("notes.txt");
    controller.setTargetedURL(target);

    finderSync->createNewTextFile();

    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Failed to create file: ")) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("Failed to create file: ").size());
    EXPECT_TRUE(alerts.shown().empty()) << "the alert waits for the main loop";
    EXPECT_EQ(scheduler.runQueuedTasks(), 1);
    EXPECT_EQ(steps(),
              (CallLog{"security.startAccessing " + target.path(),
                       "files.createFileAtomically " + target.path() + "/Untitled.txt",
                       "scheduler.postToMainQueue", "security.stopAccessing " + target.path(),
                       "alerts.runModal Permission Required"}));
    const Alert expected{"Permission Required",
                         "Please grant access to notes.txt in the Corvane+ menu bar app, then "
                         "try again.",
                         AlertStyle::Warning,
                         {"OK"}};
    EXPECT_EQ(alerts.shown(), std::vector<Alert>{expected});
}

TEST_F(NewTextFileTest, WithoutATargetTheFileAndTerminalActionsLogOneLineAndDoNothingElse) {
    for (const char* selector : {"createNewTextFile:", "openTerminalHere:", "openITermHere:"}) {
        clearRecords();
        ASSERT_TRUE(finderSync->performAction(selector));
        EXPECT_EQ(log.str(), "Could not get target directory\n") << selector;
        EXPECT_EQ(calls, std::vector<std::string>{"controller.targetedURL"}) << selector;
    }
    EXPECT_EQ(scheduler.runQueuedTasks(), 0);
}

} // namespace
} // namespace corvane
