#include "extension/settings/secured_directories.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace corvane {
namespace {

using fakes::FinderSyncFixture;
using ::testing::Each;
using ::testing::Not;
using ::testing::StartsWith;

// What the bookmark map holds under one key.
enum class Grant { Good, Stale, Broken, Refused, NotData };

struct LoadCase {
    const char* name;
    std::vector<std::pair<std::string, Grant>> map;
    std::vector<std::string> expectedFolders; // relative to the temporary folder
    std::vector<std::string> expectedLog;
};

class SecuredLoadTest : public FinderSyncFixture, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SecuredLoadTest, ListsGrantedFoldersAndLogs) {
    const LoadCase& c = GetParam();
    setSharedValue("securedDirectories", PlistDictionary{});
    for (const auto& [key, grant] : c.map) {
        FileURL folder = temp.makeFolder(key);
        switch (grant) {
        case Grant::Good:
        case Grant::Stale:
            grantFolder(key, folder, grant == Grant::Stale);
            break;
        case Grant::Broken:
            grantBrokenFolder(key, "The folder is gone.");
            break;
        case Grant::Refused:
            grantFolder(key, folder);
            security.refuseAccess(folder.path());
            break;
        case Grant::NotData:
            addBookmarkValue(key, "a string");
            break;
        }
    }
    FinderSync& object = makeFinderSync();
    std::vector<FileURL> expected;
    for (const auto& name : c.expectedFolders)
        expected.push_back(temp.url().appending(name));
    EXPECT_EQ(object.securedURLs, expected);
    // "@" stands for the temporary folder; the menu options lines are not ours.
    std::vector<std::string> expectedLog = c.expectedLog, securedLines;
    for (auto& line : expectedLog) {
        if (auto at = line.find('@'); at != std::string::npos)
            line.replace(at, 1, temp.path() + "/");
    }
    std::ranges::copy_if(logLines(), std::back_inserter(securedLines),
                         [](const std::string& line) { return !line.starts_with("[CorvaneExt]"); });
    EXPECT_EQ(securedLines, expectedLog);
    for (const FileURL& folder : expected)
        EXPECT_EQ(security.accessCount(folder), 1) << folder.path();
}

INSTANTIATE_TEST_SUITE_P(
    Table, SecuredLoadTest,
    ::testing::Values(LoadCase{"EmptyMap", {}, {}, {}},
                      LoadCase{"OneValueNotData",
                               {{"a", Grant::Good}, {"s", Grant::NotData}, {"b", Grant::Good}},
                               {},
                               {}},
                      LoadCase{"OnlyBookmarkBroken",
                               {{"gone", Grant::Broken}},
                               {},
                               {"Failed to resolve bookmark for gone: The folder is gone."}},
                      LoadCase{"MixedInMapOrder",
                               {{"z", Grant::Good},
                                {"x", Grant::Broken},
                                {"r", Grant::Refused},
                                {"s", Grant::Stale},
                                {"a", Grant::Good}},
                               {"z", "s", "a"},
                               {"Loaded secured URL: @z",
                                "Failed to resolve bookmark for x: The folder is gone.",
                                "Loaded secured URL: @s", "Loaded secured URL: @a"}}),
    [](const auto& info) { return std::string(info.param.name); });

using SecuredDirectoriesTest = FinderSyncFixture;

TEST_F(SecuredDirectoriesTest, NoUsableMapMeansNoFolders) {
    grantFolder("a", temp.makeFolder("a"));
    setSharedValue("securedDirectories", PlistArray{PlistData{"bookmark:a"}});
    EXPECT_TRUE(makeFinderSync().securedURLs.empty());
    settings.setAvailable(false);
    setSharedValue("securedDirectories", PlistDictionary{{"a", PlistData{"bookmark:a"}}});
    finderSync->loadSecuredURLs();
    EXPECT_TRUE(finderSync->securedURLs.empty());
    EXPECT_THAT(calls, Each(Not(StartsWith("security.resolveBookmark"))));
}

TEST_F(SecuredDirectoriesTest, ReloadEndsEveryAccessBeforeStartingAgain) {
    grantFolder("a", temp.makeFolder("a"));
    grantFolder("b", temp.makeFolder("b"));
    FinderSync& object = makeFinderSync();
    calls.clear();
    object.loadSecuredURLs();
    const std::string a = temp.path() + "/a", b = temp.path() + "/b";
    EXPECT_EQ(calls, (fakes::CallLog{
                         "security.stopAccessing " + a, "security.stopAccessing " + b,
                         "settings.openSuite group.Brenvo.Corvane",
                         "settings.objectForKey securedDirectories",
                         "security.resolveBookmark bookmark:a", "security.startAccessing " + a,
                         "security.resolveBookmark bookmark:b", "security.startAccessing " + b}));
    EXPECT_EQ(object.securedURLs, (std::vector{FileURL::fromPath(a), FileURL::fromPath(b)}));
    EXPECT_EQ(security.accessCount(FileURL::fromPath(a)), 1);

    // A failed reload still ends the old access first.
    settings.setAvailable(false);
    object.loadSecuredURLs();
    EXPECT_TRUE(object.securedURLs.empty());
    EXPECT_EQ(
        security.accessCount(FileURL::fromPath(a)) + security.accessCount(FileURL::fromPath(b)), 0);
}

TEST_F(SecuredDirectoriesTest, DestructionLeavesAccessOpen) {
    const FileURL a = temp.makeFolder("a");
    grantFolder("a", a);
    makeFinderSync();
    clearRecords();
    finderSync.reset();
    EXPECT_EQ(calls, fakes::CallLog{});
    EXPECT_EQ(security.accessCount(a), 1);
}

TEST_F(SecuredDirectoriesTest, AccessBracketStartsOnTheTargetOnlyWhenInside) {
    FinderSync& object = makeFinderSync();
    object.securedURLs = {FileURL::fromPath("/Users/a/b"), FileURL::fromPath("/granted")};
    EXPECT_FALSE(object.isInsideSecuredDirectory("/Users/a"));
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
