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
              first("controller.setDirectoryURLs"));
    EXPECT_EQ(controller.directoryURLs(), std::set{FileURL::fromPath("/")});
    EXPECT_EQ(sync.securedURLs().size(), 1u);
    EXPECT_EQ(sync.menuOptions(), defaultMenuOptions());
    EXPECT_EQ(sync.lastBatchRenameExecuteId(), std::nullopt);
}

} // namespace
} // namespace corvane
