// The typed suite in tests/contract checks that a removed folder fails and
// that access is counted; these are the bookmarks' own rules.

#include "platform/linux/bookmark_security_scope.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace corvane {
namespace {

using namespace std::string_literals;
using BookmarkTest = testing::TempFolderTest;

std::string binary(const PlistValue& value) {
    return plist::writeBinary(value).value();
}

TEST_F(BookmarkTest, ResolveSaysStaleOnlyForAReplacedFolderAndRefusesAnyOtherForm) {
    const std::string name = "caf\xe9-\xff"; // not UTF-8
    const FileURL folder = temp_.makeFolder(name);
    temp_.makeFolder("holder"); // keeps the old inode number from being reused
    auto data = makeBookmarkData(folder.path() + "/"); // trailing slash dropped
    ASSERT_TRUE(data) << data.error().description;
    BookmarkSecurityScope scope;
    EXPECT_EQ(scope.resolveBookmark(*data).value().url, folder);
    EXPECT_FALSE(scope.resolveBookmark(*data).value().isStale);
    std::filesystem::rename(folder.path(), temp_ / "holder/old");
    temp_.makeFolder(name);
    EXPECT_EQ(scope.resolveBookmark(*data).value().url, folder);
    EXPECT_TRUE(scope.resolveBookmark(*data).value().isStale);
    for (const std::string& path : {"."s, ""s, temp_ / "missing"})
        EXPECT_FALSE(makeBookmarkData(path)) << path;

    // Inode numbers above the signed 64-bit range are numbers too; a key
    // removed or given a value of the wrong kind or form is refused.
    const PlistDictionary base = plist::read(*data).value().asDictionary();
    std::vector<std::pair<PlistValue, bool>> edited = {{PlistArray{base}, false}};
    const std::pair<const char*, std::optional<PlistValue>> edits[] = {
        {"inode", UINT64_MAX},
        {"format", "other.bookmark"},
        {"version", 2},
        {"version", "1"},
        {"path", "/tmp"},
        {"path", PlistData{"."}},
        {"path", PlistData{"/tmp\0x"s}},
        {"device", std::nullopt}};
    for (const auto& [key, value] : edits) {
        PlistDictionary dictionary = base;
        value ? dictionary.set(key, *value) : (void)dictionary.remove(key);
        edited.emplace_back(dictionary, edited.size() == 1);
    }
    for (const auto& [bookmark, resolves] : edited) {
        auto resolved = scope.resolveBookmark(binary(bookmark));
        EXPECT_EQ(resolved.has_value(), resolves) << ::testing::PrintToString(bookmark);
        EXPECT_TRUE(resolved ? resolved->isStale : !resolved.error().description.empty());
    }
}

} // namespace
} // namespace corvane
