#include "extension/menu/menu_builder.h"
#include "extension/settings/menu_options.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane {
namespace {

using fakes::FinderSyncFixture;

TEST(MenuOptionsValueRule, KeepsBooleansAndNumbersOnly) {
    const std::pair<PlistValue, std::optional<bool>> table[] = {{true, true},
                                                                {false, false},
                                                                {0, false},
                                                                {1, true},
                                                                {2, true},
                                                                {-1, true},
                                                                {0.0, false},
                                                                {0.5, true},
                                                                {"true", std::nullopt},
                                                                {PlistData{"\x01"}, {}},
                                                                {PlistDate{1}, {}},
                                                                {PlistArray{PlistValue(true)}, {}},
                                                                {PlistDictionary{{"k", true}}, {}}};
    for (std::size_t row = 0; row < std::size(table); ++row) {
        SCOPED_TRACE(row);
        const auto& [value, expected] = table[row];
        MenuOptions options = menuOptionsFromDictionary(PlistDictionary{{"k", value}});
        EXPECT_EQ(options.find("k"), expected);
        EXPECT_EQ(options.size(), expected ? 1u : 0u);
    }
}

TEST(MenuOptionsText, KeepsSourceOrderAndEscapesKeys) {
    EXPECT_EQ(describeMenuOptions({}), "[:]");
    EXPECT_EQ(describeMenuOptions(menuOptionsFromDictionary(
                  {{"zeta", true}, {"skip", "x"}, {"alpha", 0}, {"a\"b\n", false}})),
              R"(["zeta": true, "alpha": false, "a\"b\n": false])");
}

class MenuOptionsLoadTest : public FinderSyncFixture {
  protected:
    MenuOptions load() { return makeFinderSync().menuOptions; }
};

TEST_F(MenuOptionsLoadTest, FileWinsAloneWithoutOpeningTheSuite) {
    writeOptionsFile(PlistDictionary{{"copyPath", true}, {"note", "text"}});
    setSharedValue("contextMenuOptions", PlistDictionary{{"newTextFile", false}});
    FinderSync& object = makeFinderSync();
    clearRecords();
    object.loadMenuOptions();
    EXPECT_EQ(object.menuOptions, (MenuOptions{{"copyPath", true}}));
    EXPECT_EQ(logLines(), std::vector<std::string>{
                              R"([CorvaneExt] Loaded menu options from file: ["copyPath": true])"});
    EXPECT_EQ(calls,
              (fakes::CallLog{"containers.containerURL group.Brenvo.Corvane",
                              "files.readPropertyListDictionary " + menuOptionsFile().path()}));
}

TEST_F(MenuOptionsLoadTest, UnusableFilesFallThroughToTheSharedEntry) {
    const std::vector<std::function<void()>> unusable = {
        [&] { writeOptionsFile(PlistDictionary{}); },
        [&] {
            writeOptionsFile(PlistDictionary{{"copyPath", "yes"}});
        },
        [&] { writeOptionsFile(PlistArray{PlistValue(true)}); },
        [&] { temp.writeFile("container/MenuOptions.plist", "not a property list"); },
    };
    setSharedValue("contextMenuOptions", PlistDictionary{{"newTextFile", 0}, {"unknownKey", 1}});
    for (const auto& writeFile : unusable) {
        writeFile();
        clearRecords();
        EXPECT_EQ(load(), (MenuOptions{{"newTextFile", false}, {"unknownKey", true}}));
        EXPECT_EQ(logLines(),
                  std::vector<std::string>{R"([CorvaneExt] Loaded menu options: )"
                                           R"(["newTextFile": false, "unknownKey": true])"});
        EXPECT_THAT(calls, ::testing::Contains("settings.synchronize"));
    }
}

TEST_F(MenuOptionsLoadTest, NoUsableSharedEntryUsesTheDefaults) {
    setSharedValue("contextMenuOptions", PlistDictionary{{"copyPath", "on"}});
    EXPECT_EQ(load(), defaultMenuOptions());
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "[CorvaneExt] Loaded menu options: [:]",
                  R"([CorvaneExt] Using default menu options: ["newTextFile": true, )"
                  R"("newTerminalHere": false, "newITermHere": false, "copyPath": false, )"
                  R"("batchRename": false, "toggleHiddenFiles": false, "openInVSCode": false])"}));
}

} // namespace
} // namespace corvane
