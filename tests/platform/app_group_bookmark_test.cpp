#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sys/stat.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::readBytes;
using testing::writeBytes;

class TempFolderTest : public testing::TempFolderTest {
  protected:
    FileURL url(const std::string& name) const { return FileURL::fromPath((dir_ / name).string()); }
};

std::string binary(const PlistValue& value) {
    return plist::writeBinary(value).value();
}

// --- App Group containers ---------------------------------------------------

TEST_F(TempFolderTest, ContainerRootFollowsTheEnvironment) {
    using Value = std::optional<std::string>;
    const char* names[] = {"CORVANE_GROUP_CONTAINERS", "XDG_DATA_HOME", "HOME"};
    Value saved[3];
    auto set = [](const char* name, const Value& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    const std::string home = "home/.local/share/corvane/group-containers";
    // Explicit root, data home ("@x": the folder x in the test folder), expected root.
    const std::tuple<Value, Value, std::string> cases[] = {
        {"@explicit", "@xdg", "explicit"},  {"", "@xdg", "xdg/corvane/group-containers"},
        {std::nullopt, std::nullopt, home}, {std::nullopt, "", home},
        {std::nullopt, "rel/data", home},
    };
    auto under = [&](Value v) {
        return v && v->starts_with('@') ? (dir_ / v->substr(1)).string() : v;
    };
    for (int i = 0; i < 3; ++i)
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
    for (const auto& [explicitRoot, dataHome, expected] : cases) {
        set(names[0], under(explicitRoot));
        set(names[1], under(dataHome));
        set(names[2], (dir_ / "home").string());
        EXPECT_EQ(DirectoryAppGroupContainers::rootFromEnvironment(), (dir_ / expected).string())
            << expected;
    }
    for (int i = 0; i < 3; ++i)
        set(names[i], saved[i]);
}

// A root that is a regular file is checked with the settings files.
TEST_F(TempFolderTest, ContainersArePrivateFoldersInsideTheRootAndBadIdsGetNone) {
    DirectoryAppGroupContainers containers((dir_ / "a/b/root").string());
    for (const std::string& id : {""s, "."s, ".."s, "a/b"s, "/"s, "../a"s, "a\0b"s})
        EXPECT_FALSE(containers.containerURL(id)) << id;
    EXPECT_FALSE(fs::exists(dir_ / "a")) << "a bad id creates nothing";

    auto container = containers.containerURL("group.Brenvo.Corvane");
    ASSERT_TRUE(container);
    EXPECT_EQ(container->path(), (dir_ / "a/b/root/group.Brenvo.Corvane").string());
    EXPECT_EQ(fs::status(container->path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(containers.containerURL("group.Brenvo.Corvane"), container) << "second call";
}

// --- File manager -----------------------------------------------------------

using FileManagerTest = TempFolderTest;

TEST_F(FileManagerTest, ExistenceCountsAnyEntryIncludingADanglingLink) {
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    writeBytes(dir_ / "file", "x");
    fs::create_symlink(dir_ / "missing", dir_ / "dangling");
    for (const std::string& name : {"file"s, ""s, "dangling"s})
        EXPECT_TRUE(files.fileExists(url(name).path())) << name;
    EXPECT_FALSE(files.fileExists(url("missing").path()));
    EXPECT_FALSE(files.fileExists(url("file").path() + "\0x"s));
}

TEST_F(FileManagerTest, MoveTakesAFreeNameButNeverReplacesAFileOrAFolder) {
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    writeBytes(dir_ / "file", "source");
    writeBytes(dir_ / "takenFile", "taken");
    fs::create_directory(dir_ / "folder");
    fs::create_directory(dir_ / "emptyFolder"); // plain rename() would replace it

    auto ontoFile = files.moveItem(url("file"), url("takenFile"));
    ASSERT_FALSE(ontoFile);
    EXPECT_EQ(ontoFile.error().code, std::errc::file_exists);
    EXPECT_NE(ontoFile.error().description.find("File exists"), std::string::npos);
    EXPECT_FALSE(files.moveItem(url("folder"), url("emptyFolder")));
    EXPECT_EQ(readBytes(dir_ / "takenFile"), "taken");
    EXPECT_TRUE(fs::is_empty(dir_ / "emptyFolder"));

    ASSERT_TRUE(files.moveItem(url("file"), url("free")));
    EXPECT_FALSE(fs::exists(dir_ / "file"));
    EXPECT_EQ(readBytes(dir_ / "free"), "source");
}

// The atomic writer's own table covers links, missing folders and temporary files.
TEST_F(FileManagerTest, CreateFileAtomicallyNeverReplaces) {
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    ASSERT_TRUE(files.createFileAtomically(url("Untitled.txt"), "hello\n"));
    EXPECT_EQ(readBytes(dir_ / "Untitled.txt"), "hello\n");
    auto again = files.createFileAtomically(url("Untitled.txt"), "new");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, std::errc::file_exists);
    EXPECT_EQ(readBytes(dir_ / "Untitled.txt"), "hello\n");
}

// --- Bookmarks ----------------------------------------------------------------

using BookmarkTest = TempFolderTest;

TEST_F(BookmarkTest, ResolvesAsStaleOnlyWhenTheFolderWasReplaced) {
    const std::string name = "caf\xe9-\xff"; // not UTF-8
    fs::create_directory(dir_ / name);
    fs::create_directory(dir_ / "holder"); // keeps the old inode number from being reused
    auto data = makeBookmarkData(url(name).path() + "/"); // trailing slash dropped
    ASSERT_TRUE(data) << data.error().description;
    BookmarkSecurityScope scope;
    auto fresh = scope.resolveBookmark(*data);
    ASSERT_TRUE(fresh) << fresh.error().description;
    EXPECT_EQ(fresh->url, url(name));
    EXPECT_FALSE(fresh->isStale);

    fs::rename(dir_ / name, dir_ / "holder/old");
    fs::create_directory(dir_ / name);
    auto stale = scope.resolveBookmark(*data);
    ASSERT_TRUE(stale) << stale.error().description;
    EXPECT_EQ(stale->url, url(name));
    EXPECT_TRUE(stale->isStale);

    // Inode numbers above the signed 64-bit range are numbers too.
    PlistDictionary bigInode = plist::read(*data).value().asDictionary();
    bigInode.set("inode", UINT64_MAX);
    auto other = scope.resolveBookmark(binary(bigInode));
    ASSERT_TRUE(other) << other.error().description;
    EXPECT_TRUE(other->isStale);
}

// The typed suite in tests/contract checks that a removed folder fails and
// that access is counted; these are the bookmarks' own refusals.
TEST_F(BookmarkTest, RemovedMissingOrMalformedOnesFailSayingWhy) {
    fs::create_directory(dir_ / "granted");
    auto data = makeBookmarkData(url("granted").path());
    ASSERT_TRUE(data);
    const PlistDictionary base = plist::read(*data).value().asDictionary();
    fs::remove(dir_ / "granted");
    BookmarkSecurityScope scope;
    auto removed = scope.resolveBookmark(*data);
    ASSERT_FALSE(removed);
    EXPECT_NE(removed.error().description.find(url("granted").path() + " no longer exists"),
              std::string::npos)
        << removed.error().description;
    EXPECT_FALSE(scope.startAccessing(url("granted"))) << "only what exists";
    for (const std::string& path : {"relative/folder"s, ""s, url("missing").path()})
        EXPECT_FALSE(makeBookmarkData(path)) << path;

    // Damage the codec rejects is covered by its own tests. Here: a key
    // removed (no value) or given a value of the wrong kind or form.
    fs::create_directory(dir_ / "granted");
    std::vector<std::string> spoiled = {binary(PlistArray{base})};
    const std::pair<const char*, std::optional<PlistValue>> edits[] = {
        {"format", std::nullopt},
        {"format", "other.bookmark"},
        {"version", 2},
        {"version", "1"},
        {"path", std::nullopt},
        {"path", "/tmp"},
        {"path", PlistData{"tmp/x"}},
        {"path", PlistData{"/tmp\0x"s}},
        {"device", std::nullopt},
        {"inode", "12"},
    };
    for (const auto& [key, value] : edits) {
        PlistDictionary edited = base;
        value ? edited.set(key, *value) : (void)edited.remove(key);
        spoiled.push_back(binary(edited));
    }
    ASSERT_TRUE(scope.resolveBookmark(binary(base))) << "the base is good";
    for (std::size_t i = 0; i < spoiled.size(); ++i) {
        auto resolved = scope.resolveBookmark(spoiled[i]);
        ASSERT_FALSE(resolved) << "case " << i;
        EXPECT_FALSE(resolved.error().description.empty()) << "case " << i;
    }
}

TEST(LibuuidSourceTest, MakesDistinctUpperCaseVersionFourUuids) {
    LibuuidSource source;
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::string first = source.makeUUIDString(), second = source.makeUUIDString();
    EXPECT_TRUE(std::regex_match(first, form)) << first;
    EXPECT_TRUE(std::regex_match(second, form)) << second;
    EXPECT_NE(first, second);
}

} // namespace
} // namespace corvane
