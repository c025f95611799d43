// The start-up, the secured folders and the context menu, asked for as the
// file manager asks. The full menu of every command, its order and a menu
// that follows the companion app's options are seen end to end.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace corvane {
namespace {

using StartupTest = fakes::FinderSyncFixture;
using fakes::CallLog;

TEST_F(StartupTest, PollsAndWatchesRootUntilDestroyed) {
    makeFinderSync();
    EXPECT_EQ(callsStartingWith({"scheduler."}), CallLog{"scheduler.scheduleRepeatingTimer 500ms"});
    EXPECT_EQ(controller.directoryURLs(), std::set{FileURL::fromPath("/")});

    finderSync.reset();
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", {}}), 0u);
    EXPECT_EQ(scheduler.fireTimers(), 0u);
}

// The defaults, and the options file that wins, are seen end to end.
TEST_F(StartupTest, AnOptionsFileWithoutAUsableEntryGivesWayToTheSharedOptions) {
    share("contextMenuOptions", PlistDictionary{{"newTextFile", 0},
                                                {"unknownKey", 0.5},
                                                {"a\"b\\\n\r\t", true},
                                                {"skipped", PlistData{"\1"}}});
    for (const PlistValue& file :
         {PlistValue(PlistDictionary{{"copyPath", "yes"}}), PlistValue(PlistArray{true})}) {
        writeOptionsFile(file);
        clearRecords();
        makeFinderSync();
        EXPECT_EQ(logLines(), std::vector<std::string>{R"([CorvaneExt] Loaded menu options: )"
                                                       R"(["newTextFile": false, "unknownKey": )"
                                                       R"(true, "a\"b\\\n\r\t": true])"});
    }
}

using SecuredDirectoriesTest = fakes::FinderSyncFixture;

TEST_F(SecuredDirectoriesTest, ListedInMapOrderReopenedForEachMenuAndNeverEndedByDestruction) {
    const FileURL z = temp.makeFolder("z"), r = temp.makeFolder("r"), s = temp.makeFolder("s");
    grantFolder("z", z);
    security.bookmarks.insert_or_assign("x", makeError("The folder is gone."));
    addBookmark("x", PlistData{"x"});
    grantFolder("r", r);
    security.refused.insert(r.path());
    grantFolder("s", s, /*stale=*/true);
    makeFinderSync();
    const std::vector<FileURL> listed{z, s};
    EXPECT_EQ(finderSync->securedURLs(), listed);
    std::vector<std::string> lines = logLines();
    lines.resize(3); // the menu options lines follow
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Loaded secured URL: " + z.path(),
                                        "Failed to resolve bookmark for x: The folder is gone.",
                                        "Loaded secured URL: " + s.path()}));

    share("appIsRunning", true);
    calls.clear();
    ASSERT_TRUE(finderSync->menuForMenuKind(0));
    const auto reopened = std::ranges::find(calls, "security.startAccessing " + z.path());
    for (const FileURL& folder : listed) {
        EXPECT_EQ(std::count(calls.begin(), reopened, "security.stopAccessing " + folder.path()),
                  1);
        EXPECT_EQ(security.accessCount(folder), 1);
    }
    EXPECT_EQ(finderSync->securedURLs(), listed);
    finderSync.reset();
    EXPECT_EQ(security.accessCount(z), 1);
}

TEST_F(SecuredDirectoriesTest, AMapWithAValueThatIsNoDataIsNotUsedAtAll) {
    const FileURL a = temp.makeFolder("a");
    grantFolder("a", a);
    makeFinderSync();
    addBookmark("s", "a string");
    share("appIsRunning", true);
    calls.clear();
    ASSERT_TRUE(finderSync->menuForMenuKind(0));
    EXPECT_TRUE(finderSync->securedURLs().empty());
    EXPECT_EQ(security.accessCount(a), 0);
    EXPECT_EQ(callsStartingWith({"security.resolve"}), fakes::CallLog{});
}

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

TEST_F(MenuTest, WithoutTheSuiteThereIsNoMenuElseEachReloadsFoldersThenOptions) {
    grantFolder("home", temp.makeFolder("granted"));
    share("contextMenuOptions", PlistDictionary{{"newTextFile", false}});
    share("appIsRunning", 1);
    clearRecords();
    setSuitesAvailable(false);
    EXPECT_EQ(menu(), std::nullopt) << "no suite";
    EXPECT_EQ(log.str(), "") << "nothing reloaded";

    setSuitesAvailable(true);
    EXPECT_EQ(menu(UINT_MAX), Entries{}) << "a menu with no command is still a menu";
    EXPECT_EQ(logLines(), (Entries{"Loaded secured URL: " + temp / "granted",
                                   R"([CorvaneExt] Loaded menu options: ["newTextFile": false])"}));
}

TEST_F(MenuTest, TheAppItemsAreEnabledWhenEitherEditionExists) {
    share("contextMenuOptions",
          PlistDictionary{{"newITermHere", true}, {"openInVSCode", true}, {"newTextFile", 0}});
    share("appIsRunning", true);
    for (const auto& [installed, expected] :
         {std::pair{
              Entries{"/Applications/iTerm.app", "/Applications/Visual Studio Code - Insiders.app"},
              Entries{" ", " "}},
          {Entries{"/Applications/iTerm 2.app"}, Entries{" ", " off "}}}) {
        installOnly(installed);
        EXPECT_EQ(menu(), (Entries{"New iTerm2 Window Here" + expected[0] + "openITermHere:",
                                   "Open in Visual Studio Code" + expected[1] + "openInVSCode:"}));
    }
    const std::optional<MenuImage> image = finderSync->menuForMenuKind(0)->items[0].image;
    EXPECT_EQ(image,
              (MenuImage{"terminal.fill", "utilities-terminal", true, "New iTerm2 Window Here"}));
}

TEST_F(MenuTest, ASettingsStatusHeadsTheMenuWhileTheCompanionsOptionsAreMissing) {
    share("appIsRunning", true);
    share("contextMenuOptions", PlistDictionary{});
    const std::string command = "New Text File createNewTextFile:";
    EXPECT_EQ(menu(), (Entries{"Corvane+ settings not found off none", "-", command}))
        << "an empty dictionary counts as missing";
    EXPECT_EQ(finderSync->menuForMenuKind(0)->items[0].image, std::nullopt);
    containers.container.reset();
    EXPECT_EQ(menu(),
              (Entries{"Corvane+ settings unavailable (App Group) off none", "-", command}));
    share("contextMenuOptions", PlistDictionary{{"copyPath", "yes"}});
    EXPECT_EQ(menu(), Entries{command}) << "any entry counts";
    unshare("contextMenuOptions");
    containers.container = temp.url().appending("container");
    writeOptionsFile(PlistDictionary{});
    EXPECT_EQ(menu(), Entries{command}) << "the file need only exist";
}

} // namespace
} // namespace corvane
