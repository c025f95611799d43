#include "extension/settings/menu_options.h"
#include "extension/settings/menu_options_store.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane {
namespace {

using ::testing::Contains;
using ::testing::Not;
using ::testing::StartsWith;

// Which values carry a flag is PlistValue::flagValue's rule, checked on every
// kind by the settings suite's typed tests.
TEST(MenuOptionsRule, KeepsEntriesWithAFlagInSourceOrderAndWritesTheTextForm) {
    EXPECT_EQ(describeMenuOptions({}), "[:]");
    EXPECT_EQ(describeMenuOptions(menuOptionsFromDictionary({{"zeta", true},
                                                             {"skip", "x"},
                                                             {"alpha", 0},
                                                             {"half", 0.5},
                                                             {"bytes", PlistData{"\x01"}},
                                                             {"a\"b\n", false}})),
              R"(["zeta": true, "alpha": false, "half": true, "a\"b\n": false])");
}

/// The store on the fixture's services, with defaults of its own.
class MenuOptionsStoreTest : public fakes::FinderSyncFixture {
  protected:
    const MenuOptions defaults{{"fromTheOwner", true}};
    MenuOptionsStore store{settings, containers, files, log, defaults};
};

TEST_F(MenuOptionsStoreTest, FileWinsAloneWithoutOpeningTheSuite) {
    writeOptionsFile(PlistDictionary{{"copyPath", true}, {"note", "text"}});
    setSharedValue("contextMenuOptions", PlistDictionary{{"newTextFile", false}});
    EXPECT_EQ(store.load(), (MenuOptions{{"copyPath", true}}));
    EXPECT_EQ(logLines(), std::vector<std::string>{
                              R"([CorvaneExt] Loaded menu options from file: ["copyPath": true])"});
    EXPECT_THAT(calls, Not(Contains(StartsWith("settings."))));
}

TEST_F(MenuOptionsStoreTest, UnusableFilesFallThroughToTheSharedEntry) {
    // A file that cannot be read as a dictionary is the file manager's to tell.
    const PlistValue unusable[] = {PlistDictionary{}, PlistDictionary{{"copyPath", "yes"}},
                                   PlistArray{PlistValue(true)}};
    setSharedValue("contextMenuOptions", PlistDictionary{{"newTextFile", 0}, {"unknownKey", 1}});
    for (const PlistValue& file : unusable) {
        writeOptionsFile(file);
        clearRecords();
        EXPECT_EQ(store.load(), (MenuOptions{{"newTextFile", false}, {"unknownKey", true}}));
        EXPECT_EQ(logLines(),
                  std::vector<std::string>{R"([CorvaneExt] Loaded menu options: )"
                                           R"(["newTextFile": false, "unknownKey": true])"});
        EXPECT_THAT(calls, Contains("settings.synchronize"));
    }
}

TEST_F(MenuOptionsStoreTest, NoUsableEntryAnywhereGivesTheOwnersDefaults) {
    setSharedValue("contextMenuOptions", PlistDictionary{{"copyPath", "on"}});
    EXPECT_EQ(store.load(), defaults);
    EXPECT_EQ(logLines().back(),
              R"([CorvaneExt] Using default menu options: ["fromTheOwner": true])");
}

} // namespace
} // namespace corvane
