#include "platform/linux/bookmark_security_scope.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <optional>

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
} // namespace
} // namespace corvane
