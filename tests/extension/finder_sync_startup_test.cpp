#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace corvane
