#include "extension/settings/menu_options.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using fakes::FinderSyncFixture;

struct ValueCase {
    const char* name;
    PlistValue value;
    std::optional<bool> expected; // none: the entry is skipped
};

class ValueRuleTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueRuleTest, KeepsBooleansAndNumbersOnly) {
    const ValueCase& c = GetParam();
    MenuOptions options = menuOptionsFromDictionary(PlistDictionary{{"k", c.value}});
    EXPECT_EQ(options.find("k"), c.expected);
    EXPECT_EQ(options.size(), c.expected ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValueRuleTest,
    ::testing::Values(ValueCase{"True", true, true}, ValueCase{"False", false, false},
                      ValueCase{"Zero", 0, false}, ValueCase{"One", 1, true},
                      ValueCase{"Two", 2, true}, ValueCase{"Negative", -1, true},
                      ValueCase{"RealZero", 0.0, false}, ValueCase{"RealHalf", 0.5, true},
                      ValueCase{"String", "true", std::nullopt},
                      ValueCase{"Data", PlistData{"\x01"}, std::nullopt},
                      ValueCase{"Date", PlistDate{1}, std::nullopt},
                      ValueCase{"Array", PlistArray{PlistValue(true)}, std::nullopt},
                      ValueCase{"Dictionary", PlistDictionary{{"k", true}}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MenuOptionsText, KeepsSourceOrderAndEscapesKeys) {
    EXPECT_EQ(describeMenuOptions({}), "[:]");
    EXPECT_EQ(describeMenuOptions(menuOptionsFromDictionary(
                  {{"zeta", true}, {"skip", "x"}, {"alpha", 0}, {"a\"b\n", false}})),
              R"(["zeta": true, "alpha": false, "a\"b\n": false])");
}

class MenuOptionsLoadTest : public FinderSyncFixture {
  protected:
    MenuOptions load() {
        FinderSync& object = makeFinderSync();
        return object.menuOptions;
    }
    const std::string kDefaultsText =
        R"(["newTextFile": true, "newTerminalHere": false, "newITermHere": false, )"
        R"("copyPath": false, "batchRename": false, "toggleHiddenFiles": false, )"
        R"("openInVSCode": false])";
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
    }
    EXPECT_EQ(settings.synchronizeCount(), 4);
}

TEST_F(MenuOptionsLoadTest, NoUsableSharedEntryUsesTheDefaults) {
    setSharedValue("contextMenuOptions", PlistDictionary{{"copyPath", "on"}});
    EXPECT_EQ(load(), defaultMenuOptions());
    EXPECT_EQ(logLines(), (std::vector<std::string>{"[CorvaneExt] Loaded menu options: [:]",
                                                    "[CorvaneExt] Using default menu options: " +
                                                        kDefaultsText}));
}

TEST_F(MenuOptionsLoadTest, NoContainerAndNoSuite) {
    containers.setContainer(std::nullopt);
    settings.setAvailable(false);
    EXPECT_EQ(load(), defaultMenuOptions());
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "[CorvaneExt] App Group container not available for group.Brenvo.Corvane",
                  "[CorvaneExt] Loaded menu options: [:]",
                  "[CorvaneExt] Using default menu options: " + kDefaultsText}));
    EXPECT_EQ(settings.synchronizeCount(), 0);
}

TEST_F(MenuOptionsLoadTest, FileUrlIsInTheContainerWhetherOrNotTheFileExists) {
    FinderSync& object = makeFinderSync();
    EXPECT_EQ(object.menuOptionsFileURL(), menuOptionsFile());
    EXPECT_EQ(object.loadMenuOptionsFromFile(), std::nullopt);
    writeOptionsFile(PlistDictionary{{"eye", 3}});
    EXPECT_EQ(object.loadMenuOptionsFromFile(), (MenuOptions{{"eye", true}}));
}

} // namespace
} // namespace corvane
