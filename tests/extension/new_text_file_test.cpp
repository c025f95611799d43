// "New Text File" on real temporary folders: the name, the empty file, the
// log lines, the reveal, the access bracket and the alert.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace corvane {
namespace {

namespace fs = std::filesystem;

class NewTextFileTest : public fakes::FinderSyncFixture {
  protected:
    void SetUp() override {
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

    /// The calls whose entry starts with one of `prefixes`, in order.
    std::vector<std::string> callsOf(const std::vector<std::string_view>& prefixes) const {
        std::vector<std::string> picked;
        for (const std::string& call : calls)
            for (std::string_view prefix : prefixes)
                if (call.starts_with(prefix))
                    picked.push_back(call);
        return picked;
    }
};

TEST_F(NewTextFileTest, TakesTheFirstFreeNameGapsIncludedAndAnyEntryCountsAsTaken) {
    struct Row {
        std::vector<std::string> files, folders, danglingLinks;
        std::string expected;
    };
    const Row rows[] = {
        {{}, {}, {}, "Untitled.txt"},
        {{"Untitled.txt"}, {}, {}, "Untitled 1.txt"},
        {{"Untitled.txt", "Untitled 1.txt"}, {}, {}, "Untitled 2.txt"},
        {{"Untitled.txt", "Untitled 2.txt"}, {}, {}, "Untitled 1.txt"},
        {{"Untitled 1.txt"}, {}, {}, "Untitled.txt"},
        {{"untitled.txt", "Untitled"}, {"Untitled.txt"}, {}, "Untitled 1.txt"},
        {{}, {"Untitled 1.txt"}, {"Untitled.txt"}, "Untitled 2.txt"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected + " in row " + std::to_string(n));
        const FileURL folder = temp.makeFolder("row" + std::to_string(n++));
        for (const std::string& name : row.files)
            temp.writeFile(folder.lastPathComponent() + "/" + name, "keep");
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
        EXPECT_EQ(callsOf({"workspace."}), std::vector<std::string>{"workspace.selectFile " + path +
                                                                    " in " + folder.path()});
        for (const std::string& name : row.files)
            EXPECT_EQ(fs::file_size(folder.appending(name).path()), 4u) << name;
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

TEST_F(NewTextFileTest, AFailedWriteLogsQueuesTheAlertAndRevealsNothing) {
    // A regular file as the target: no file can be made inside it, root or not.
    temp.writeFile("notes.txt", "x");
    const FileURL target = temp.url().appending("notes.txt");
    controller.setTargetedURL(target);

    finderSync->createNewTextFile();

    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Failed to create file: ")) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("Failed to create file: ").size());
    EXPECT_TRUE(callsOf({"workspace."}).empty());
    EXPECT_TRUE(alerts.shown().empty()) << "the alert waits for the main loop";
    EXPECT_EQ(entries(temp.url()), (std::set<std::string>{"container", "notes.txt"}));

    EXPECT_EQ(scheduler.runQueuedTasks(), 1);
    const Alert expected{"Permission Required",
                         "Please grant access to notes.txt in the Corvane+ menu bar app, then "
                         "try again.",
                         AlertStyle::Warning,
                         {"OK"}};
    EXPECT_EQ(alerts.shown(), std::vector<Alert>{expected});
}

TEST_F(NewTextFileTest, AccessToATargetInsideASecuredFolderEndsBeforeTheAlertOrAfterTheReveal) {
    const FileURL granted = temp.makeFolder("granted");
    grantFolder("g", granted);
    finderSync->loadSecuredURLs();
    temp.writeFile("granted/file", "");
    const FileURL good = temp.makeFolder("granted/sub");
    const FileURL bad = granted.appending("file");
    const FileURL outside = temp.makeFolder("outside");
    const std::vector<std::string_view> steps = {"security.", "files.createFileAtomically",
                                                 "workspace.", "scheduler.", "alerts."};

    controller.setTargetedURL(good);
    clearRecords();
    finderSync->createNewTextFile();
    const std::string created = good.appending("Untitled.txt").path();
    EXPECT_EQ(callsOf(steps),
              (std::vector<std::string>{"security.startAccessing " + good.path(),
                                        "files.createFileAtomically " + created,
                                        "workspace.selectFile " + created + " in " + good.path(),
                                        "security.stopAccessing " + good.path()}));

    controller.setTargetedURL(bad);
    clearRecords();
    finderSync->createNewTextFile();
    scheduler.runQueuedTasks();
    const std::string attempted = bad.appending("Untitled.txt").path();
    EXPECT_EQ(callsOf(steps), (std::vector<std::string>{
                                  "security.startAccessing " + bad.path(),
                                  "files.createFileAtomically " + attempted,
                                  "scheduler.postToMainQueue",
                                  "security.stopAccessing " + bad.path(),
                                  "alerts.runModal Permission Required",
                              }));

    // Outside every secured folder, and where access is refused, nothing is stopped.
    security.refuseAccess(good.path());
    for (const FileURL& target : {outside, good}) {
        controller.setTargetedURL(target);
        clearRecords();
        finderSync->createNewTextFile();
        EXPECT_TRUE(std::ranges::none_of(calls, [](const std::string& c) {
            return c.starts_with("security.stopAccessing");
        })) << target.path();
        EXPECT_EQ(logLines().size(), 1u);
    }
    EXPECT_EQ(security.accessCount(good), 0);
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
