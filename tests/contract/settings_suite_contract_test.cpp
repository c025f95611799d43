// What callers of a settings suite rely on, checked on the property-list
// files that the extension's unit tests use as well.

#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file_settings.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

constexpr std::string_view kSuite = "group.Test.Contract";

/// Binary property lists in App Group containers under a temporary folder.
class SettingsSuiteContract : public ::testing::Test {
  protected:
    /// Opens the suite afresh, as another writer would.
    std::unique_ptr<SettingsSuite> open(std::string_view name = kSuite) {
        auto suite = provider_.openSuite(name);
        EXPECT_TRUE(suite) << name;
        return suite;
    }
    testing::TempDir temp_;
    DirectoryAppGroupContainers containers_{temp_ / "containers"};
    PlistFileSettingsProvider provider_{containers_, std::make_shared<PlistFileCache>()};
};

TEST_F(SettingsSuiteContract, ReadsComeFromASnapshotThatSynchronizeOrAnOwnWriteRefreshes) {
    const PlistValue record = PlistDictionary{{"id", "A"}, {"data", PlistData{{"\0\xff", 2}}}};
    auto mine = open(), theirs = open();
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
    EXPECT_EQ(open()->objectForKey("first"), std::nullopt);
    EXPECT_TRUE(open()->boolForKey("second"));
    EXPECT_EQ(open("group.Test.Other")->objectForKey("second"), std::nullopt);
}

} // namespace
} // namespace corvane
