// What callers of a settings suite rely on, checked on the in-memory fake and
// on the property-list files alike, so the fake cannot drift.

#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file_settings.h"
#include "tests/contract/implementation_name.h"
#include "tests/fakes/fakes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <stdexcept>

namespace corvane {
namespace {

constexpr std::string_view kSuite = "group.Test.Contract";

struct FakeSettings {
    static constexpr const char* kName = "Fake";
    fakes::FakeSettingsProvider provider;
    void makeUnavailable() { provider.setAvailable(false); }
};

/// Binary property lists in App Group containers under a temporary folder.
struct PlistFileSettings {
    static constexpr const char* kName = "PlistFile";
    testing::TempDir temp;
    DirectoryAppGroupContainers containers{temp / "containers"};
    PlistFileSettingsProvider provider{containers, std::make_shared<PlistFileCache>()};
    /// A regular file where the suite's Library folder belongs.
    void makeUnavailable() {
        const std::string library = "containers/" + std::string(kSuite) + "/Library";
        std::filesystem::remove_all(temp / library);
        temp.writeFile(library, "");
    }
};

template <class Traits> class SettingsSuiteContract : public ::testing::Test {
  protected:
    /// Opens the suite afresh, as another writer would.
    std::unique_ptr<SettingsSuite> open(std::string_view name = kSuite) {
        std::unique_ptr<SettingsSuite> suite = traits_.provider.openSuite(name);
        if (!suite)
            throw std::runtime_error("cannot open " + std::string(name));
        return suite;
    }
    Traits traits_;
};

using Implementations = ::testing::Types<FakeSettings, PlistFileSettings>;
TYPED_TEST_SUITE(SettingsSuiteContract, Implementations, testing::ImplementationName);

TYPED_TEST(SettingsSuiteContract, ReadsComeFromASnapshotThatSynchronizeOrAnOwnWriteRefreshes) {
    const PlistValue record = PlistDictionary{
        {"id", "A"}, {"paths", PlistArray{"/a", "/b"}}, {"data", PlistData{{"\0\xff", 2}}}};
    auto mine = this->open(), theirs = this->open();
    EXPECT_TRUE(mine->removeObject("record")) << "removing a missing key succeeds";
    ASSERT_TRUE(theirs->setObject(1, "record"));
    ASSERT_TRUE(theirs->setObject(record, "record"));
    EXPECT_EQ(theirs->objectForKey("record"), record);
    EXPECT_EQ(mine->objectForKey("record"), std::nullopt) << "a snapshot";
    EXPECT_TRUE(mine->synchronize());
    EXPECT_EQ(mine->objectForKey("record"), record);

    // An own write or removal stores into the current content and sees all of it.
    ASSERT_TRUE(theirs->setObject("theirs", "first"));
    ASSERT_TRUE(mine->setObject("mine", "second"));
    EXPECT_EQ(mine->objectForKey("first"), PlistValue("theirs"));
    EXPECT_EQ(theirs->objectForKey("second"), std::nullopt) << "their snapshot stays";
    ASSERT_TRUE(theirs->removeObject("record"));
    ASSERT_TRUE(mine->removeObject("first"));
    EXPECT_EQ(mine->objectForKey("record"), std::nullopt);
    EXPECT_EQ(mine->objectForKey("first"), std::nullopt);
    EXPECT_EQ(this->open()->objectForKey("second"), PlistValue("mine"));
    EXPECT_EQ(this->open("group.Test.Other")->objectForKey("second"), std::nullopt);
}

TYPED_TEST(SettingsSuiteContract, ModifyEditsTheStoredValueNotTheSnapshot) {
    auto mine = this->open(), theirs = this->open();
    auto append = [](std::string entry) {
        return [entry](std::optional<PlistValue>& value) {
            if (!value || !value->isArray())
                value = PlistArray{};
            value->asArray().push_back(entry);
        };
    };
    std::optional<PlistValue> seen;
    auto look = [&](std::optional<PlistValue>& value) { seen = value; };
    ASSERT_TRUE(mine->modifyObject("list", append("mine")));
    ASSERT_TRUE(theirs->modifyObject("list", append("theirs"))) << "their snapshot has no list";
    ASSERT_TRUE(theirs->setObject("theirs", "other"));
    ASSERT_TRUE(mine->modifyObject("list", look));
    EXPECT_EQ(seen, PlistValue(PlistArray{"mine", "theirs"}));
    EXPECT_EQ(mine->objectForKey("other"), PlistValue("theirs")) << "a modify refreshes";
    ASSERT_TRUE(mine->modifyObject("absent", look));
    EXPECT_EQ(seen, std::nullopt);

    ASSERT_TRUE(
        mine->modifyObject("list", [](std::optional<PlistValue>& value) { value.reset(); }));
    EXPECT_EQ(this->open()->objectForKey("list"), std::nullopt) << "left none: removed";
    EXPECT_THROW((void)mine->modifyObject("other",
                                          [](std::optional<PlistValue>& value) {
                                              value = "changed";
                                              throw std::runtime_error("refused");
                                          }),
                 std::runtime_error);
    EXPECT_EQ(this->open()->objectForKey("other"), PlistValue("theirs"))
        << "a throw writes nothing";
}

TYPED_TEST(SettingsSuiteContract, RemoveIfEqualRemovesOnlyTheValueStillStored) {
    const PlistValue first = PlistDictionary{{"id", "A"}, {"paths", PlistArray{"/a"}}};
    const PlistValue second = PlistDictionary{{"id", "B"}, {"paths", PlistArray{"/a"}}};
    auto mine = this->open(), theirs = this->open();
    EXPECT_EQ(mine->removeObjectIfEqual("record", first), false) << "missing";
    ASSERT_TRUE(mine->setObject(first, "record"));
    ASSERT_TRUE(theirs->setObject(second, "record"));
    EXPECT_EQ(mine->removeObjectIfEqual("record", first), false) << "replaced meanwhile";
    EXPECT_EQ(mine->objectForKey("record"), second);
    EXPECT_EQ(mine->removeObjectIfEqual("record", second), true);
    EXPECT_EQ(this->open()->objectForKey("record"), std::nullopt);
}

TYPED_TEST(SettingsSuiteContract, HelpersReadFlagsAndDictionariesOnly) {
    const PlistDictionary options{{"copyPath", true}};
    const PlistValue on[] = {true, -1, 0.5, UINT64_MAX};
    const PlistValue off[] = {
        false, 0, 0.0, "true", PlistData{"\x01"}, PlistDate{1}, PlistArray{true}, options};
    auto suite = this->open();
    EXPECT_FALSE(suite->boolForKey("key")) << "missing";
    using Values = std::span<const PlistValue>;
    for (const auto& [values, flag] : {std::pair<Values, bool>{on, true}, {off, false}}) {
        for (const PlistValue& value : values) {
            ASSERT_TRUE(suite->setObject(value, "key"));
            EXPECT_EQ(suite->boolForKey("key"), flag) << ::testing::PrintToString(value);
        }
    }
    EXPECT_EQ(suite->dictionaryForKey("key"), options);
    ASSERT_TRUE(suite->setObject(PlistArray{options}, "key"));
    EXPECT_EQ(suite->dictionaryForKey("key"), std::nullopt);
}

TYPED_TEST(SettingsSuiteContract, SettingsThatBecomeUnavailableOpenNoSuite) {
    ASSERT_TRUE(this->open()->setObject(true, "appIsRunning"));
    this->traits_.makeUnavailable();
    EXPECT_EQ(this->traits_.provider.openSuite(kSuite), nullptr);
}

} // namespace
} // namespace corvane
