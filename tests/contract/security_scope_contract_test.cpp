// What callers of the security scope rely on, checked on the fake and on the
// Linux bookmarks alike, so the fake cannot drift.

#include "platform/linux/bookmark_security_scope.h"
#include "tests/contract/implementation_name.h"
#include "tests/fakes/fakes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

struct FakeScope {
    static constexpr const char* kName = "Fake";
    fakes::FakeSecurityScope scope;
    /// Bookmark data that resolves, and the folder it resolves to.
    std::pair<std::string, FileURL> resolvingBookmark(const std::string& name) {
        scope.addBookmark(name, FileURL::fromPath("/granted/" + name));
        return {name, FileURL::fromPath("/granted/" + name)};
    }
    std::vector<std::string> failingBookmarks() {
        scope.addBrokenBookmark("broken", "The folder is gone.");
        return {"broken", "not a bookmark"};
    }
};

/// Real bookmarks of temporary folders.
struct LinuxScope {
    static constexpr const char* kName = "Bookmark";
    testing::TempDir temp;
    BookmarkSecurityScope scope;
    std::pair<std::string, FileURL> resolvingBookmark(const std::string& name) {
        FileURL folder = temp.makeFolder(name);
        return {makeBookmarkData(folder.path()).value(), folder};
    }
    std::vector<std::string> failingBookmarks() {
        std::string gone = makeBookmarkData(temp.makeFolder("gone").path()).value();
        std::filesystem::remove(temp / "gone");
        return {gone, "not a bookmark"};
    }
};

template <class Traits> class SecurityScopeContract : public ::testing::Test {
  protected:
    Traits traits_;
};

using Implementations = ::testing::Types<FakeScope, LinuxScope>;
TYPED_TEST_SUITE(SecurityScopeContract, Implementations, testing::ImplementationName);

TYPED_TEST(SecurityScopeContract, BookmarksResolveToTheirFolderOrSayWhyNot) {
    auto [data, folder] = this->traits_.resolvingBookmark("granted");
    auto resolved = this->traits_.scope.resolveBookmark(data);
    ASSERT_TRUE(resolved) << resolved.error().description;
    EXPECT_EQ(resolved->url, folder);
    EXPECT_FALSE(resolved->isStale);
    for (const std::string& broken : this->traits_.failingBookmarks()) {
        auto failed = this->traits_.scope.resolveBookmark(broken);
        ASSERT_FALSE(failed) << broken;
        EXPECT_FALSE(failed.error().description.empty()) << broken;
    }
}

TYPED_TEST(SecurityScopeContract, AccessIsCountedPerFolderAndNeverBelowZero) {
    auto& scope = this->traits_.scope;
    const FileURL a = this->traits_.resolvingBookmark("a").second;
    const FileURL b = this->traits_.resolvingBookmark("b").second;
    scope.stopAccessing(a); // never started: harmless
    for (const FileURL& folder : {a, a, b})
        EXPECT_TRUE(scope.startAccessing(folder));
    EXPECT_EQ(scope.accessCount(a), 2);
    scope.stopAccessing(a);
    EXPECT_EQ(scope.accessCount(a), 1);
    scope.stopAccessing(a);
    scope.stopAccessing(a);
    EXPECT_EQ(scope.accessCount(a), 0);
    EXPECT_EQ(scope.accessCount(b), 1);
    EXPECT_TRUE(scope.startAccessing(a));
    EXPECT_EQ(scope.accessCount(a), 1);
}

} // namespace
} // namespace corvane
