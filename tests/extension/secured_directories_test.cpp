#include "extension/settings/secured_directories.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using ::testing::Each;
using ::testing::Not;
using ::testing::StartsWith;

using SecuredDirectoriesTest = fakes::FinderSyncFixture;

TEST_F(SecuredDirectoriesTest, LoadListsTheFoldersGrantedInMapOrderAndLogs) {
    FileURL z = temp.makeFolder("z"), r = temp.makeFolder("r"), s = temp.makeFolder("s"),
            a = temp.makeFolder("a");
    grantFolder("z", z);
    grantBrokenFolder("x", "The folder is gone.");
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
    auto firstStart = std::ranges::find_if(
        calls, [](const std::string& call) { return call.starts_with("security.startAccessing"); });
    for (const FileURL& folder : {a, b})
        EXPECT_EQ(std::ranges::count(calls.begin(), firstStart,
                                     "security.stopAccessing " + folder.path()),
                  1);
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
    EXPECT_THAT(calls, Each(Not(StartsWith("security.resolveBookmark"))));
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

TEST_F(SecuredDirectoriesTest, AccessBracketStartsOnTheTargetOnlyWhenInside) {
    grantFolder("granted", FileURL::fromPath("/granted"));
    FinderSync& object = makeFinderSync();
    // Runs an operation at `path`; returns what was asked while it ran.
    auto write = [&](const char* path) {
        calls.clear();
        return object.withSecurityScopedAccess(FileURL::fromPath(path), [&] { return calls; });
    };
    const std::string start = "security.startAccessing ", stop = "security.stopAccessing ";
    // Inside: access on the target itself, open while the operation runs.
    EXPECT_EQ(write("/granted/sub"), fakes::CallLog{start + "/granted/sub"});
    EXPECT_EQ(calls, (fakes::CallLog{start + "/granted/sub", stop + "/granted/sub"}));
    // Outside: nothing started, the operation still runs.
    EXPECT_EQ(write("/elsewhere"), fakes::CallLog{});
    EXPECT_EQ(calls, fakes::CallLog{});
    // Refused: the operation runs and nothing is stopped.
    security.refuseAccess("/granted/locked");
    EXPECT_EQ(write("/granted/locked"), fakes::CallLog{start + "/granted/locked"});
    EXPECT_EQ(calls, fakes::CallLog{start + "/granted/locked"});
    // A failing operation still ends the access.
    EXPECT_THROW(object.withSecurityScopedAccess(FileURL::fromPath("/granted/t"),
                                                 [] { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    EXPECT_EQ(calls.back(), stop + "/granted/t");
    EXPECT_EQ(security.accessCount(FileURL::fromPath("/granted/t")), 0);
}

} // namespace
} // namespace corvane
