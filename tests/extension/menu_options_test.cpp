#include "extension/settings/menu_options.h"
#include "extension/settings/menu_options_store.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace corvane {
namespace {

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

TEST_F(MenuOptionsStoreTest, TheFirstSourceWithAUsableEntryWinsAlone) {
    const std::string loaded = "[CorvaneExt] Loaded menu options: ";
    const PlistDictionary shared{{"newTextFile", 0}, {"unknownKey", 1}};
    const MenuOptions fromShared{{"newTextFile", false}, {"unknownKey", true}};
    const std::string sharedLine = loaded + R"(["newTextFile": false, "unknownKey": true])";
    struct Row {
        std::optional<PlistValue> file;
        PlistDictionary shared;
        MenuOptions expected;
        std::vector<std::string> lines;
    };
    // A file that cannot be read as a dictionary is the file manager's to tell.
    const Row rows[] = {
        {PlistDictionary{{"copyPath", true}, {"note", "text"}},
         shared,
         {{"copyPath", true}},
         {R"([CorvaneExt] Loaded menu options from file: ["copyPath": true])"}},
        {PlistDictionary{}, shared, fromShared, {sharedLine}},
        {PlistDictionary{{"copyPath", "yes"}}, shared, fromShared, {sharedLine}},
        {PlistArray{PlistValue(true)}, shared, fromShared, {sharedLine}},
        {std::nullopt,
         {{"copyPath", "on"}},
         defaults,
         {loaded + "[:]", R"([CorvaneExt] Using default menu options: ["fromTheOwner": true])"}},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(temp / "container/MenuOptions.plist");
        if (row.file)
            writeOptionsFile(*row.file);
        setSharedValue("contextMenuOptions", row.shared);
        clearRecords();
        EXPECT_EQ(store.load(), row.expected);
        EXPECT_EQ(logLines(), row.lines);
        const bool fromFile = row.lines[0].find("from file") != std::string::npos;
        EXPECT_EQ(callsStartingWith({"settings."}).empty(), fromFile) << row.lines[0];
        EXPECT_EQ(std::ranges::count(calls, "settings.synchronize"), fromFile ? 0 : 1);
    }
}

} // namespace
} // namespace corvane
