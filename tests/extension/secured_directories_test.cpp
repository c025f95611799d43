#include "extension/settings/secured_directories.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace corvane {
namespace {

using SecuredDirectoriesTest = fakes::FinderSyncFixture;
using fakes::CallLog;

TEST_F(SecuredDirectoriesTest, LoadListsTheFoldersGrantedInMapOrderAndLogs) {
    FileURL z = temp.makeFolder("z"), r = temp.makeFolder("r"), s = temp.makeFolder("s"),
            a = temp.makeFolder("a");
    grantFolder("z", z);
    security.addBrokenBookmark("broken", "The folder is gone.");
    addBookmarkValue("x", PlistData{"broken"});
    grantFolder("r", r);
    security.refuseAccess(r.path());
    grantFolder("s", s, /*stale=*/true);
    grantFolder("a", a);
    FinderSync& object = makeFinderSync();
    EXPECT_EQ(object.securedURLs(), (std::vector{z, s, a}));
    for (const FileURL& folder : {z, s, a})
        EXPECT_EQ(security.accessCount(folder), 1) << folder.path();
    std::vector<std::string> lines = logLines();
    lines.resize(4); // the menu options lines follow
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Loaded secured URL: " + z.path(),
                         "Failed to resolve bookmark for x: The folder is gone.",
                         "Loaded secured URL: " + s.path(), "Loaded secured URL: " + a.path()}));
}

TEST_F(SecuredDirectoriesTest, ReloadEndsEveryAccessBeforeStartingAgainAndDestructionEndsNone) {
    const FileURL a = temp.makeFolder("a"), b = temp.makeFolder("b");
    grantFolder("a", a);
    grantFolder("b", b);
    FinderSync& object = makeFinderSync();
    calls.clear();
    object.loadSecuredURLs();
    const CallLog stops(calls.begin(), calls.begin() + firstCall("security.startAccessing"));
    for (const FileURL& folder : {a, b})
        EXPECT_EQ(std::ranges::count(stops, "security.stopAccessing " + folder.path()), 1);
    EXPECT_EQ(object.securedURLs(), (std::vector{a, b}));
    finderSync.reset();
    EXPECT_EQ(security.accessCount(a), 1);
}

TEST_F(SecuredDirectoriesTest, NoUsableMapEndsTheOldAccessAndListsNothing) {
    const FileURL a = temp.makeFolder("a");
    grantFolder("a", a);
    FinderSync& object = makeFinderSync();
    settings.setAvailable(false);
    object.loadSecuredURLs();
    EXPECT_TRUE(object.securedURLs().empty());
    EXPECT_EQ(security.accessCount(a), 0);

    settings.setAvailable(true);
    addBookmarkValue("s", "a string"); // the whole map is unusable
    calls.clear();
    object.loadSecuredURLs();
    EXPECT_TRUE(object.securedURLs().empty());
    EXPECT_EQ(callsStartingWith({"security.resolveBookmark"}), CallLog{});
}

TEST(SecuredDirectoryRule, InsideMeansACharacterPrefixOfAnyListedFolder) {
    const std::vector<FileURL> listed{FileURL::fromPath("/Users/a/b"),
                                      FileURL::fromPath("/granted")};
    EXPECT_TRUE(isInsideAnyDirectory(listed, "/Users/a/b"));
    EXPECT_TRUE(isInsideAnyDirectory(listed, "/Users/a/bc"));
    EXPECT_TRUE(isInsideAnyDirectory(listed, "/granted/x"));
    EXPECT_FALSE(isInsideAnyDirectory(listed, "/Users/a"));
    EXPECT_FALSE(isInsideAnyDirectory({}, "/Users/a/b"));
    EXPECT_TRUE(isInsideAnyDirectory({FileURL::fromPath("/")}, "/any/path"));
}

// Which targets the bracket opens on, and that it stays open while the
// operation runs, the rename engine's and "New Text File"'s tests check.
TEST_F(SecuredDirectoriesTest, AnOperationThatThrowsStillEndsTheAccess) {
    grantFolder("granted", FileURL::fromPath("/granted"));
    FinderSync& object = makeFinderSync();
    const FileURL target = FileURL::fromPath("/granted/t");
    EXPECT_THROW(object.withSecurityScopedAccess(target, [] { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    EXPECT_EQ(security.accessCount(target), 0);
    EXPECT_EQ(calls.back(), "security.stopAccessing /granted/t");
}

} // namespace
} // namespace corvane
