// What callers of a settings suite rely on, checked on the in-memory fake and
// on the property-list files alike, so the fake cannot drift.

#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file_settings.h"
#include "tests/fakes/fake_settings_provider.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

constexpr std::string_view kSuite = "group.Test.Contract";

struct FakeSettings {
    static constexpr const char* kName = "Fake";
    fakes::FakeSettingsProvider provider;
};

/// Binary property lists in App Group containers under a temporary folder.
struct PlistFileSettings {
    static constexpr const char* kName = "PlistFile";
    testing::TempDir temp;
    DirectoryAppGroupContainers containers{temp / "containers"};
    PlistFileSettingsProvider provider{containers, std::make_shared<PlistFileCache>()};
};

/// Names each instance of the suite after its traits class's `kName`.
struct ImplementationName {
    template <class Traits> static std::string GetName(int) { return Traits::kName; }
};

template <class Traits> class SettingsSuiteContract : public ::testing::Test {
  protected:
    /// Opens the suite afresh, as another writer would.
    std::unique_ptr<SettingsSuite> open(std::string_view name = kSuite) {
        auto suite = traits_.provider.openSuite(name);
        EXPECT_TRUE(suite) << name;
        return suite;
    }
    Traits traits_;
};

using Implementations = ::testing::Types<FakeSettings, PlistFileSettings>;
TYPED_TEST_SUITE(SettingsSuiteContract, Implementations, ImplementationName);

TYPED_TEST(SettingsSuiteContract, ReadsComeFromASnapshotThatSynchronizeOrAnOwnWriteRefreshes) {
    const PlistValue record = PlistDictionary{{"id", "A"}, {"data", PlistData{{"\0\xff", 2}}}};
    auto mine = this->open(), theirs = this->open();
    EXPECT_TRUE(mine->removeObject("record")) << "removing a missing key succeeds";
    ASSERT_TRUE(theirs->setObject(record, "record"));
    EXPECT_EQ(theirs->dictionaryForKey("record"), record.asDictionary());
    EXPECT_EQ(mine->objectForKey("record"), std::nullopt) << "a snapshot";
    EXPECT_TRUE(mine->synchronize());
    EXPECT_EQ(mine->objectForKey("record"), record);

    ASSERT_TRUE(theirs->setObject("theirs", "first"));
    ASSERT_TRUE(mine->setObject(true, "second"));
    EXPECT_EQ(mine->objectForKey("first"), PlistValue("theirs")) << "a write refreshes";
    EXPECT_FALSE(theirs->boolForKey("second")) << "their snapshot stays";
    ASSERT_TRUE(mine->removeObject("first"));
    EXPECT_EQ(this->open()->objectForKey("first"), std::nullopt);
    EXPECT_TRUE(this->open()->boolForKey("second"));
    EXPECT_EQ(this->open("group.Test.Other")->objectForKey("second"), std::nullopt);
}

TYPED_TEST(SettingsSuiteContract, RemoveIfEqualRemovesOnlyTheValueStillStored) {
    const PlistValue first = PlistDictionary{{"id", "A"}}, second = PlistDictionary{{"id", "B"}};
    auto mine = this->open(), theirs = this->open();
    EXPECT_EQ(mine->removeObjectIfEqual("record", first), false) << "missing";
    ASSERT_TRUE(mine->setObject(first, "record"));
    ASSERT_TRUE(theirs->setObject(second, "record"));
    EXPECT_EQ(mine->removeObjectIfEqual("record", first), false) << "replaced meanwhile";
    EXPECT_EQ(mine->objectForKey("record"), second) << "and seen";
    EXPECT_EQ(mine->removeObjectIfEqual("record", second), true);
    EXPECT_EQ(this->open()->objectForKey("record"), std::nullopt);
}

} // namespace
} // namespace corvane
