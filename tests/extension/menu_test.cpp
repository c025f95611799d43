// The context menu, asked for as the file manager asks. The full menu of
// every command, its order and a menu that follows the companion app's
// options are seen end to end.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace corvane {
namespace {

using Entries = std::vector<std::string>;

class MenuTest : public fakes::FinderSyncFixture {
  protected:
    MenuTest() { makeFinderSync(); }

    /// The menu's entries as "title action", "-" for a separator and "off"
    /// before the action of a disabled item; none without a menu.
    std::optional<Entries> menu(unsigned kind = 0) {
        std::optional<Menu> menu = finderSync->menuForMenuKind(kind);
        if (!menu)
            return std::nullopt;
        Entries entries;
        for (const MenuItem& item : menu->items)
            entries.push_back(item.isSeparator ? "-"
                                               : item.title + (item.enabled ? " " : " off ") +
                                                     item.action.value_or("none"));
        return entries;
    }
};

TEST_F(MenuTest, OnlyARunningCompanionGetsAMenuEachReloadingFoldersThenOptions) {
    grantFolder("home", temp.makeFolder("granted"));
    shared().set("contextMenuOptions", PlistDictionary{{"newTextFile", false}});
    clearRecords();
    EXPECT_EQ(menu(), std::nullopt) << "flag missing";
    shared().set("appIsRunning", 1);
    settings.available = false;
    EXPECT_EQ(menu(), std::nullopt) << "no suite";
    EXPECT_EQ(log.str(), "") << "nothing reloaded";

    settings.available = true;
    EXPECT_EQ(menu(UINT_MAX), Entries{}) << "a menu with no command is still a menu";
    EXPECT_EQ(logLines(), (Entries{"Loaded secured URL: " + temp / "granted",
                                   R"([CorvaneExt] Loaded menu options: ["newTextFile": false])"}));
}

TEST_F(MenuTest, TheAppItemsAreEnabledWhenEitherEditionExists) {
    shared().set(
        "contextMenuOptions",
        PlistDictionary{{"newITermHere", true}, {"openInVSCode", true}, {"newTextFile", 0}});
    shared().set("appIsRunning", true);
    for (const auto& [installed, expected] :
         {std::pair{
              Entries{"/Applications/iTerm.app", "/Applications/Visual Studio Code - Insiders.app"},
              Entries{" ", " "}},
          {Entries{"/Applications/iTerm 2.app"}, Entries{" ", " off "}},
          {Entries{"/Applications/Visual Studio Code.app"}, Entries{" off ", " "}}}) {
        installOnly(installed);
        EXPECT_EQ(menu(), (Entries{"New iTerm2 Window Here" + expected[0] + "openITermHere:",
                                   "Open in Visual Studio Code" + expected[1] + "openInVSCode:"}));
    }
    const std::optional<MenuImage> image = finderSync->menuForMenuKind(0)->items[0].image;
    EXPECT_EQ(image,
              (MenuImage{"terminal.fill", "utilities-terminal", true, "New iTerm2 Window Here"}));
}

TEST_F(MenuTest, ASettingsStatusHeadsTheMenuWhileTheCompanionsOptionsAreMissing) {
    shared().set("appIsRunning", true);
    shared().set("contextMenuOptions", PlistDictionary{});
    const std::string command = "New Text File createNewTextFile:";
    EXPECT_EQ(menu(), (Entries{"Corvane+ settings not found off none", "-", command}))
        << "an empty dictionary counts as missing";
    EXPECT_EQ(finderSync->menuForMenuKind(0)->items[0].image, std::nullopt);
    containers.container.reset();
    EXPECT_EQ(menu(),
              (Entries{"Corvane+ settings unavailable (App Group) off none", "-", command}));
    shared().set("contextMenuOptions", PlistDictionary{{"copyPath", "yes"}});
    EXPECT_EQ(menu(), Entries{command}) << "any entry counts";
    shared().remove("contextMenuOptions");
    containers.container = temp.url().appending("container");
    writeOptionsFile(PlistDictionary{});
    EXPECT_EQ(menu(), Entries{command}) << "the file need only exist";
}

} // namespace
} // namespace corvane
