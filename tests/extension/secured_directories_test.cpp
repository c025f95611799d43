#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using SecuredDirectoriesTest = fakes::FinderSyncFixture;

TEST_F(SecuredDirectoriesTest, ListedInMapOrderReopenedForEachMenuAndNeverEndedByDestruction) {
    const FileURL z = temp.makeFolder("z"), r = temp.makeFolder("r"), s = temp.makeFolder("s");
    grantFolder("z", z);
    security.bookmarks.insert_or_assign("x", makeError("The folder is gone."));
    addBookmark("x", PlistData{"x"});
    grantFolder("r", r);
    security.refused.insert(r.path());
    grantFolder("s", s, /*stale=*/true);
    makeFinderSync();
    const std::vector<FileURL> listed{z, s};
    EXPECT_EQ(finderSync->securedURLs(), listed);
    std::vector<std::string> lines = logLines();
    lines.resize(3); // the menu options lines follow
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Loaded secured URL: " + z.path(),
                                        "Failed to resolve bookmark for x: The folder is gone.",
                                        "Loaded secured URL: " + s.path()}));

    shared().set("appIsRunning", true);
    calls.clear();
    ASSERT_TRUE(finderSync->menuForMenuKind(0));
    const auto reopened = std::ranges::find(calls, "security.startAccessing " + z.path());
    for (const FileURL& folder : listed) {
        EXPECT_EQ(std::count(calls.begin(), reopened, "security.stopAccessing " + folder.path()),
                  1);
        EXPECT_EQ(security.accessCount(folder), 1);
    }
    EXPECT_EQ(finderSync->securedURLs(), listed);
    finderSync.reset();
    EXPECT_EQ(security.accessCount(z), 1);
}

TEST_F(SecuredDirectoriesTest, AMapWithAValueThatIsNoDataIsNotUsedAtAll) {
    const FileURL a = temp.makeFolder("a");
    grantFolder("a", a);
    makeFinderSync();
    addBookmark("s", "a string");
    shared().set("appIsRunning", true);
    calls.clear();
    ASSERT_TRUE(finderSync->menuForMenuKind(0));
    EXPECT_TRUE(finderSync->securedURLs().empty());
    EXPECT_EQ(security.accessCount(a), 0);
    EXPECT_EQ(callsStartingWith({"security.resolve"}), fakes::CallLog{});
}

} // namespace
} // namespace corvane
