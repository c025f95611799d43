#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using FinderSyncStartupTest = fakes::FinderSyncFixture;

TEST_F(FinderSyncStartupTest, LoadsSecuredFoldersThenOptionsThenWatchesRoot) {
    FileURL folder = temp.makeFolder("granted");
    grantFolder("docs", folder);
    setSharedValue("contextMenuOptions", PlistDictionary{{"copyPath", true}});
    makeFinderSync();
    EXPECT_EQ(calls, (fakes::CallLog{
                         "settings.openSuite group.Brenvo.Corvane",
                         "settings.objectForKey securedDirectories",
                         "security.resolveBookmark bookmark:docs",
                         "security.startAccessing " + folder.path(),
                         "containers.containerURL group.Brenvo.Corvane",
                         "files.readPropertyListDictionary " + menuOptionsFile().path(),
                         "settings.openSuite group.Brenvo.Corvane",
                         "settings.synchronize",
                         "settings.objectForKey contextMenuOptions",
                         "controller.setDirectoryURLs /",
                     }));
    EXPECT_EQ(log.str(), "Loaded secured URL: " + folder.path() +
                             "\n"
                             "[CorvaneExt] Loaded menu options: [\"copyPath\": true]\n");
}

TEST_F(FinderSyncStartupTest, WithNoContainerAndNoSuiteEndsOnDefaults) {
    containers.setContainer(std::nullopt);
    settings.setAvailable(false);
    FinderSync& object = makeFinderSync();
    EXPECT_TRUE(object.securedURLs.empty());
    EXPECT_EQ(object.menuOptions, defaultMenuOptions());
    EXPECT_EQ(controller.directoryURLs(), std::set<FileURL>{FileURL::fromPath("/")});
    EXPECT_EQ(std::ranges::count(calls, "controller.setDirectoryURLs /"), 1);
    EXPECT_EQ(settings.synchronizeCount(), 0);
    // The two options lines are checked word for word with the options loads.
    ASSERT_EQ(logLines().size(), 3u);
    EXPECT_EQ(logLines()[0],
              "[CorvaneExt] App Group container not available for group.Brenvo.Corvane");
}

TEST_F(FinderSyncStartupTest, UnknownSelectorsAreRefused) {
    FinderSync& object = makeFinderSync();
    calls.clear();
    for (const char* selector : {"", "noSuchAction:", "createNewTextFile", "init"}) {
        EXPECT_FALSE(object.respondsToSelector(selector)) << selector;
        EXPECT_FALSE(object.performAction(selector)) << selector;
    }
    EXPECT_TRUE(calls.empty());
}

} // namespace
} // namespace corvane
