#include "extension/menu/menu_builder.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace corvane {
namespace {

const std::string kITerm = "/Applications/iTerm.app";
const std::string kITerm2 = "/Applications/iTerm 2.app";
const std::string kVSCode = "/Applications/Visual Studio Code.app";
const std::string kInsiders = "/Applications/Visual Studio Code - Insiders.app";
const std::string kNotFound = "Corvane+ settings not found";
const std::string kUnavailable = "Corvane+ settings unavailable (App Group)";

MenuItem entry(std::string title, std::optional<std::string> action, bool enabled = true) {
    MenuItem item;
    item.title = std::move(title);
    item.action = std::move(action);
    item.enabled = enabled;
    return item;
}

TEST(MenuRules, SettingsStatusTable) {
    // Shared options present, options file exists, container available.
    const std::tuple<bool, bool, bool, std::optional<std::string>> table[] = {
        {true, false, false, {}},
        {false, true, false, {}},
        {false, false, true, kNotFound},
        {false, false, false, kUnavailable},
        {true, true, true, {}}};
    for (const auto& [shared, file, container, expected] : table)
        EXPECT_EQ(settingsStatusFor({shared, file, container}), expected)
            << shared << file << container;
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
    setOptions({{"copyPath", "yes"}});
    EXPECT_EQ(sync.settingsStatusMessage(), std::nullopt) << "any entry counts";
    settings.setAvailable(false);
    EXPECT_EQ(sync.settingsStatusMessage(), kNotFound);
    writeOptionsFile(PlistDictionary{});
    EXPECT_EQ(sync.settingsStatusMessage(), std::nullopt) << "the file need only exist";
    containers.setContainer(std::nullopt);
    EXPECT_EQ(sync.settingsStatusMessage(), kUnavailable);
}

TEST_F(MenuTest, AppItemsAreEnabledWhenAnEditionExistsTestingTheStableOneFirst) {
    setOptions({{"newITermHere", true}, {"openInVSCode", true}, {"newTextFile", false}});
    setRunning();
    FinderSync& sync = makeFinderSync();
    struct Row {
        std::vector<std::string> installed;
        bool iTermEnabled, vsCodeEnabled;
        std::vector<std::string> checked; // in order
    };
    const Row rows[] = {{{kITerm, kVSCode}, true, true, {kITerm, kVSCode}},
                        {{kITerm2, kInsiders}, true, true, {kITerm, kITerm2, kVSCode, kInsiders}},
                        {{kITerm2}, true, false, {kITerm, kITerm2, kVSCode, kInsiders}},
                        {{kVSCode}, false, true, {kITerm, kITerm2, kVSCode}}};
    for (const Row& row : rows) {
        for (const std::string& app : {kITerm, kITerm2, kVSCode, kInsiders})
            files.setExists(app, std::ranges::count(row.installed, app) > 0);
        calls.clear();
        std::optional<Menu> menu = sync.menuForMenuKind(0);
        ASSERT_TRUE(menu && menu->items.size() == 2);
        EXPECT_EQ(menu->items[0].enabled, row.iTermEnabled);
        EXPECT_EQ(menu->items[1].enabled, row.vsCodeEnabled);
        std::vector<std::string> checked;
        for (const std::string& call : calls)
            if (call.starts_with("files.fileExists /Applications/"))
                checked.push_back(call.substr(call.find('/')));
        EXPECT_EQ(checked, row.checked);
    }
    EXPECT_EQ(sync.locateVSCodeApp(), FileURL::fromPath(kVSCode));
    files.setExists(kVSCode, false);
    files.setExists(kInsiders, true);
    EXPECT_EQ(sync.locateVSCodeApp(), FileURL::fromPath(kInsiders));
}

TEST_F(MenuTest, NoMenuWhileTheCompanionIsNotRunningAndNothingReloads) {
    FinderSync& sync = makeFinderSync();
    grantFolder("home", temp.makeFolder("granted"));
    setOptions({{"copyPath", true}});
    clearRecords();
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt) << "flag missing";
    setRunning(false);
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt) << "flag false";
    setRunning(true);
    settings.setAvailable(false);
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt) << "no suite";
    EXPECT_TRUE(sync.securedURLs().empty());
    EXPECT_EQ(sync.menuOptions(), defaultMenuOptions());
    EXPECT_EQ(log.str(), "");
}

TEST_F(MenuTest, RunningCompanionReloadsSecuredFoldersThenOptionsWhateverTheMenuKind) {
    FinderSync& sync = makeFinderSync();
    grantFolder("home", temp.makeFolder("granted"));
    setOptions({{"copyPath", true}, {"newTextFile", false}});
    setRunning(1);
    clearRecords();
    for (unsigned kind : {0u, 3u, UINT_MAX})
        EXPECT_EQ(sync.menuForMenuKind(kind), (Menu{"", {entry("Copy Path", "copyPath:")}}));
    std::vector<std::string> lines = logLines();
    lines.resize(2);
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "Loaded secured URL: " + temp.path() + "/granted",
            R"([CorvaneExt] Loaded menu options: ["copyPath": true, "newTextFile": false])"}));
}

TEST_F(MenuTest, ItemImageIsTheSymbolAsATemplateWhenTheSystemHasIt) {
    images.addSymbol("terminal");
    FinderSync& sync = makeFinderSync();
    MenuItem known = entry("New Terminal Here", "openTerminalHere:");
    known.image = MenuImage{"terminal", "icon:terminal", true, "New Terminal Here"};
    EXPECT_EQ(sync.makeMenuItem("New Terminal Here", "openTerminalHere:", "terminal"), known);
    EXPECT_EQ(sync.makeMenuItem("Copy Path", "copyPath:", "doc.on.doc"),
              entry("Copy Path", "copyPath:"));
}

} // namespace
} // namespace corvane
