#include "extension/menu/menu_builder.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using FinderSyncStartupTest = fakes::FinderSyncFixture;

TEST_F(FinderSyncStartupTest, LoadsSecuredFoldersThenOptionsThenWatchesRoot) {
    grantFolder("docs", temp.makeFolder("granted"));
    FinderSync& sync = makeFinderSync();
    auto first = [&](std::string_view prefix) {
        return std::ranges::find_if(calls, [&](const auto& c) { return c.starts_with(prefix); }) -
               calls.begin();
    };
    EXPECT_LT(first("security.startAccessing"), first("files.readPropertyListDictionary"));
    EXPECT_LT(first("settings.objectForKey contextMenuOptions"),
              first("notifications.addObserver Corvane.BatchRenameExecute"));
    EXPECT_LT(first("notifications.addObserver"), first("scheduler.scheduleRepeatingTimer 500ms"));
    EXPECT_LT(first("scheduler.scheduleRepeatingTimer"), first("controller.setDirectoryURLs"));
    EXPECT_EQ(std::ranges::count(calls, "notifications.addObserver Corvane.BatchRenameExecute"), 1);
    EXPECT_EQ(std::ranges::count(calls, "scheduler.scheduleRepeatingTimer 500ms"), 1);
    ASSERT_NE(sync.batchRenameExecuteTimer(), nullptr);
    EXPECT_TRUE(sync.batchRenameExecuteTimer()->isValid());
    EXPECT_EQ(controller.directoryURLs(), std::set{FileURL::fromPath("/")});
    EXPECT_EQ(sync.securedURLs().size(), 1u);
    EXPECT_EQ(sync.menuOptions(), defaultMenuOptions());
    EXPECT_EQ(sync.lastBatchRenameExecuteId(), std::nullopt);
}

TEST_F(FinderSyncStartupTest, ARestartedTimerReplacesTheOldOne) {
    FinderSync& sync = makeFinderSync();
    sync.startBatchRenameExecuteTimer();
    EXPECT_EQ(scheduler.validTimerCount(), 1u);
    clearRecords();
    EXPECT_EQ(scheduler.fireTimers(), 1u);
    EXPECT_EQ(calls, (std::vector<std::string>{"settings.openSuite group.Brenvo.Corvane",
                                               "settings.objectForKey batchRenameExecuteRequest"}))
        << "an idle tick opens the suite and reads one key";
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
    EXPECT_EQ(notifications.observerCount(), 0u);
    EXPECT_EQ(calls, std::vector<std::string>{});
}

} // namespace
} // namespace corvane
