#include "extension/menu/menu_builder.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>

namespace corvane {
namespace {

const std::string kNotFound = "Corvane+ settings not found";
const std::string kUnavailable = "Corvane+ settings unavailable (App Group)";

MenuItem entry(std::string title, std::optional<std::string> action, bool enabled = true) {
    MenuItem item;
    item.title = std::move(title);
    item.action = std::move(action);
    item.enabled = enabled;
    return item;
}

TEST(MenuRules, BuilderPutsTheStatusFirstAndAsksAboutAnAppOnlyForAShownItem) {
    std::vector<std::string> asked;
    auto answer = [&asked](std::string app, bool installed) {
        return [&asked, app, installed] { return asked.push_back(app), installed; };
    };
    const MenuEnvironment environment{
        .makeItem = [](std::string_view title, std::string_view action,
                       std::string_view) { return entry(std::string(title), std::string(action)); },
        .iTermInstalled = answer("iTerm", false),
        .vsCodeInstalled = answer("VSCode", true),
    };
    const Menu expected{"",
                        {entry("Status", std::nullopt, false), MenuItem::separator(),
                         entry("New Text File", "createNewTextFile:"),
                         entry("New iTerm2 Window Here", "openITermHere:", false),
                         entry("Copy Path", "copyPath:"),
                         entry("Open in Visual Studio Code", "openInVSCode:")}};
    // A command other than "newTextFile" is shown only when switched on.
    const MenuOptions options{
        {"openInVSCode", true}, {"copyPath", true}, {"newITermHere", true}, {"batchRename", false}};
    EXPECT_EQ(buildMenu(options, "Status", environment), expected);
    EXPECT_EQ(asked, (std::vector<std::string>{"iTerm", "VSCode"}));
    EXPECT_EQ(buildMenu({{"newTextFile", false}}, std::nullopt, environment), Menu{});
    EXPECT_EQ(asked.size(), 2u);
}

class MenuTest : public fakes::FinderSyncFixture {
  protected:
    void setRunning(PlistValue flag = true) { setSharedValue("appIsRunning", std::move(flag)); }
    void setOptions(PlistDictionary options) {
        setSharedValue("contextMenuOptions", std::move(options));
    }
};

TEST_F(MenuTest, SettingsStatusLooksAtTheSharedEntryTheFileAndTheContainer) {
    FinderSync& sync = makeFinderSync();
    EXPECT_EQ(sync.settingsStatusMessage(), kNotFound);
    setOptions({});
    EXPECT_EQ(sync.settingsStatusMessage(), kNotFound) << "an empty dictionary is missing";
    containers.setContainer(std::nullopt);
    EXPECT_EQ(sync.settingsStatusMessage(), kUnavailable);
    setOptions({{"copyPath", "yes"}});
    EXPECT_EQ(sync.settingsStatusMessage(), std::nullopt) << "any entry counts";
    settings.setAvailable(false);
    EXPECT_EQ(sync.settingsStatusMessage(), kUnavailable);
    containers.setContainer(temp.url().appending("container"));
    EXPECT_EQ(sync.settingsStatusMessage(), kNotFound);
    writeOptionsFile(PlistDictionary{});
    EXPECT_EQ(sync.settingsStatusMessage(), std::nullopt) << "the file need only exist";
}

TEST_F(MenuTest, AppItemsAreEnabledWhenEitherEditionExists) {
    const std::string iTerm = "/Applications/iTerm.app", iTerm2 = "/Applications/iTerm 2.app",
                      vsCode = "/Applications/Visual Studio Code.app",
                      insiders = "/Applications/Visual Studio Code - Insiders.app";
    setOptions({{"newITermHere", true}, {"openInVSCode", true}, {"newTextFile", false}});
    setRunning();
    FinderSync& sync = makeFinderSync();
    const std::tuple<std::vector<std::string>, bool, bool> rows[] = {
        {{iTerm, insiders}, true, true}, {{iTerm2}, true, false}, {{vsCode}, false, true}};
    for (const auto& [installed, iTermEnabled, vsCodeEnabled] : rows) {
        for (const std::string& app : {iTerm, iTerm2, vsCode, insiders})
            files.setExists(app, std::ranges::count(installed, app) > 0);
        std::optional<Menu> menu = sync.menuForMenuKind(0);
        ASSERT_TRUE(menu && menu->items.size() == 2);
        EXPECT_EQ(menu->items[0].enabled, iTermEnabled) << installed[0];
        EXPECT_EQ(menu->items[1].enabled, vsCodeEnabled) << installed[0];
    }
}

TEST_F(MenuTest, OnlyARunningCompanionGetsAMenuEachReloadingFoldersThenOptions) {
    FinderSync& sync = makeFinderSync();
    grantFolder("home", temp.makeFolder("granted"));
    setOptions({{"copyPath", true}, {"newTextFile", false}});
    clearRecords();
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt) << "flag missing";
    setRunning(false);
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt) << "flag false";
    setRunning(1);
    settings.setAvailable(false);
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt) << "no suite";
    EXPECT_EQ(log.str(), "") << "nothing reloaded";

    settings.setAvailable(true);
    const std::optional<Menu> menu = sync.menuForMenuKind(0);
    ASSERT_TRUE(menu && menu->items.size() == 1);
    EXPECT_EQ(menu->items[0].action, "copyPath:");
    for (unsigned kind : {3u, UINT_MAX})
        EXPECT_EQ(sync.menuForMenuKind(kind), menu);
    std::vector<std::string> lines = logLines();
    lines.resize(2);
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "Loaded secured URL: " + temp.path() + "/granted",
            R"([CorvaneExt] Loaded menu options: ["copyPath": true, "newTextFile": false])"}));
}

TEST_F(MenuTest, ItemImageIsTheSymbolAsATemplateWhenTheSystemHasIt) {
    FinderSync& sync = makeFinderSync();
    MenuItem known = sync.makeMenuItem("New Terminal Here", "openTerminalHere:", "terminal");
    ASSERT_TRUE(known.image);
    EXPECT_TRUE(known.image->isTemplate);
    EXPECT_EQ(known.image->accessibilityDescription, "New Terminal Here");
    known.image.reset();
    EXPECT_EQ(known, entry("New Terminal Here", "openTerminalHere:"));
    EXPECT_EQ(sync.makeMenuItem("Copy Path", "copyPath:", "no.such.symbol"),
              entry("Copy Path", "copyPath:"));
}

} // namespace
} // namespace corvane
