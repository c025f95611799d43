#include "extension/menu/menu_builder.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using FinderSyncStartupTest = fakes::FinderSyncFixture;
using fakes::CallLog;

TEST_F(FinderSyncStartupTest, LoadsSecuredFoldersThenOptionsThenListensPollsAndWatchesRoot) {
    grantFolder("docs", temp.makeFolder("granted"));
    FinderSync& sync = makeFinderSync();
    EXPECT_LT(firstCall("security.startAccessing"), firstCall("files.readPropertyListDictionary"));
    EXPECT_LT(firstCall("settings.objectForKey contextMenuOptions"),
              firstCall("notifications.addObserver"));
    EXPECT_LT(firstCall("notifications.addObserver"),
              firstCall("scheduler.scheduleRepeatingTimer"));
    EXPECT_LT(firstCall("scheduler."), firstCall("controller.setDirectoryURLs"));
    EXPECT_EQ(callsStartingWith({"notifications."}),
              CallLog{"notifications.addObserver Corvane.BatchRenameExecute"});
    EXPECT_EQ(callsStartingWith({"scheduler."}), CallLog{"scheduler.scheduleRepeatingTimer 500ms"});
    EXPECT_EQ(callsStartingWith({"controller."}), CallLog{"controller.setDirectoryURLs /"});
    EXPECT_EQ(sync.securedURLs().size(), 1u);
    EXPECT_EQ(sync.menuOptions(), defaultMenuOptions());

    sync.startBatchRenameExecuteTimer();
    clearRecords();
    EXPECT_EQ(scheduler.fireTimers(), 1u) << "a restarted timer replaces the old one";
    EXPECT_EQ(calls, (CallLog{"settings.openSuite group.Brenvo.Corvane",
                              "settings.objectForKey batchRenameExecuteRequest"}))
        << "an idle tick reads one key";
}

TEST_F(FinderSyncStartupTest, NothingReachesADestroyedObject) {
    makeFinderSync();
    const Notification execute{"Corvane.BatchRenameExecute",
                               {{"baseName", "B"}, {"paths", PlistArray{temp / "x"}}}};
    setSharedValue(std::string(contract::kBatchRenameExecuteKey), execute.userInfo);
    finderSync.reset();
    clearRecords();

    EXPECT_EQ(notifications.deliver(execute), 0u);
    EXPECT_EQ(scheduler.fireTimers(), 0u);
    EXPECT_EQ(calls, CallLog{});
}

} // namespace
} // namespace corvane
