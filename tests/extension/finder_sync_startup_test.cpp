// The start-up: the two loads, then the observer, the poll timer and the
// watched folder; and nothing reaches a destroyed object.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using StartupTest = fakes::FinderSyncFixture;
using fakes::CallLog;

TEST_F(StartupTest, LoadsFoldersThenOptionsThenListensPollsAndWatchesRootUntilDestroyed) {
    grantFolder("docs", temp.makeFolder("granted"));
    makeFinderSync();
    EXPECT_EQ(callsStartingWith(
                  {"security.start", "files.read", "notifications.", "scheduler.", "controller."}),
              (CallLog{"security.startAccessing " + temp / "granted",
                       "files.readPropertyListDictionary " + temp / "container/MenuOptions.plist",
                       "notifications.addObserver Corvane.BatchRenameExecute",
                       "scheduler.scheduleRepeatingTimer 500ms", "controller.setDirectoryURLs /"}));

    const Notification execute{"Corvane.BatchRenameExecute",
                               {{"baseName", "B"}, {"paths", PlistArray{temp / "granted"}}}};
    shared().set(std::string(contract::kBatchRenameExecuteKey), execute.userInfo);
    finderSync.reset();
    clearRecords();
    EXPECT_EQ(notifications.deliver(execute), 0u);
    EXPECT_EQ(scheduler.fireTimers(), 0u);
    EXPECT_EQ(calls, CallLog{});
}

// The defaults, and the options file that wins, are seen end to end.
TEST_F(StartupTest, AnOptionsFileWithoutAUsableEntryGivesWayToTheSharedOptions) {
    shared().set("contextMenuOptions", PlistDictionary{{"newTextFile", 0},
                                                       {"unknownKey", 0.5},
                                                       {"a\"b\\\n\r\t", true},
                                                       {"skipped", PlistData{"\1"}}});
    for (const PlistValue& file :
         {PlistValue(PlistDictionary{{"copyPath", "yes"}}), PlistValue(PlistArray{true})}) {
        writeOptionsFile(file);
        clearRecords();
        makeFinderSync();
        EXPECT_EQ(logLines(), std::vector<std::string>{R"([CorvaneExt] Loaded menu options: )"
                                                       R"(["newTextFile": false, "unknownKey": )"
                                                       R"(true, "a\"b\\\n\r\t": true])"});
    }
}

} // namespace
} // namespace corvane
