// What callers of the security scope rely on, checked on the fake and on the
// Linux bookmarks alike, so the fake cannot drift.

#include "platform/linux/bookmark_security_scope.h"
#include "tests/contract/implementation_name.h"
#include "tests/fakes/fake_security_scope.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

struct FakeScope {
    static constexpr const char* kName = "Fake";
    fakes::FakeSecurityScope scope;
    /// Bookmark data that resolves to the folder `name`.
    std::pair<std::string, FileURL> bookmark(const std::string& name) {
        scope.bookmarks.insert_or_assign(
            name, SecurityScope::Resolved{FileURL::fromPath("/granted/" + name)});
        return {name, FileURL::fromPath("/granted/" + name)};
    }
    std::string goneBookmark() {
        scope.bookmarks.insert_or_assign("gone", makeError("The folder is gone."));
        return "gone";
    }
};

/// Real bookmarks of temporary folders.
struct LinuxScope {
    static constexpr const char* kName = "Bookmark";
    testing::TempDir temp;
    BookmarkSecurityScope scope;
    std::pair<std::string, FileURL> bookmark(const std::string& name) {
        FileURL folder = temp.makeFolder(name);
        return {makeBookmarkData(folder.path()).value(), folder};
    }
    std::string goneBookmark() {
        std::string gone = makeBookmarkData(temp.makeFolder("gone").path()).value();
        std::filesystem::remove(temp / "gone");
        return gone;
    }
};

template <class Traits> class SecurityScopeContract : public ::testing::Test {
  protected:
    Traits traits_;
};

using Implementations = ::testing::Types<FakeScope, LinuxScope>;
TYPED_TEST_SUITE(SecurityScopeContract, Implementations, testing::ImplementationName);

TYPED_TEST(SecurityScopeContract, BookmarksResolveToTheirFolderOrSayWhyNot) {
    auto& scope = this->traits_.scope;
    auto [data, folder] = this->traits_.bookmark("granted");
    auto resolved = scope.resolveBookmark(data);
    ASSERT_TRUE(resolved) << resolved.error().description;
    EXPECT_EQ(resolved->url, folder);
    EXPECT_FALSE(resolved->isStale);
    scope.stopAccessing(folder); // never started: harmless
    EXPECT_TRUE(scope.startAccessing(folder));
    scope.stopAccessing(folder);
    EXPECT_EQ(scope.accessCount(folder), 0);
    for (const std::string& broken : {this->traits_.goneBookmark(), std::string("not one")}) {
        auto failed = scope.resolveBookmark(broken);
        ASSERT_FALSE(failed) << broken;
        EXPECT_FALSE(failed.error().description.empty()) << broken;
    }
}

} // namespace
} // namespace corvane
