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

/// A FinderSync on a machine without the applications the menu looks for.
class MenuTest : public fakes::FinderSyncFixture {
  protected:
    MenuTest() {
        for (const std::string& app : {kITerm, kITerm2, kVSCode, kInsiders})
            files.setExists(app, false);
    }
    void setRunning(PlistValue flag = true) { setSharedValue("appIsRunning", std::move(flag)); }
    void setOptions(PlistDictionary options) {
        setSharedValue("contextMenuOptions", std::move(options));
    }
    static bool has(const Menu& menu, std::string_view title) {
        return std::ranges::find(menu.items, title, &MenuItem::title) != menu.items.end();
    }
};

MenuItem entry(std::string title, std::optional<std::string> action, bool enabled = true,
               std::optional<MenuImage> image = std::nullopt) {
    MenuItem item;
    item.title = std::move(title);
    item.action = std::move(action);
    item.enabled = enabled;
    item.image = std::move(image);
    return item;
}

/// The shared options entry (none: missing), whether the suite opens, whether
/// the options file exists and the container is there, and the status line.
struct StatusRow {
    std::optional<PlistValue> shared;
    bool suite, optionsFile, container;
    std::optional<std::string> expected;
};

class SettingsStatusTest : public MenuTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(SettingsStatusTest, DecidesFromSharedOptionsFileAndContainer) {
    const StatusRow& row = GetParam();
    if (row.shared)
        setSharedValue("contextMenuOptions", *row.shared);
    if (row.optionsFile)
        writeOptionsFile(PlistDictionary{{"copyPath", true}});
    FinderSync& sync = makeFinderSync();
    settings.setAvailable(row.suite);
    if (!row.container)
        containers.setContainer(std::nullopt);
    EXPECT_EQ(sync.settingsStatusMessage(), row.expected);
}

const PlistDictionary kPresent{{"copyPath", true}}, kOnlyStrings{{"copyPath", "yes"}}, kEmpty;

INSTANTIATE_TEST_SUITE_P(Table, SettingsStatusTest,
                         ::testing::Values(StatusRow{kPresent, true, false, true, {}},
                                           StatusRow{kPresent, true, false, false, {}},
                                           StatusRow{kOnlyStrings, true, false, true, {}},
                                           StatusRow{{}, true, true, true, {}},
                                           StatusRow{kEmpty, true, true, true, {}},
                                           StatusRow{{}, true, false, true, kNotFound},
                                           StatusRow{kEmpty, true, false, true, kNotFound},
                                           StatusRow{{}, false, false, true, kNotFound},
                                           StatusRow{{}, true, false, false, kUnavailable},
                                           StatusRow{{}, false, false, false, kUnavailable}));

/// A value stored for an option in the source, and how the show rule reads it.
struct StoredValue {
    std::optional<PlistValue> value;
    bool on;    // counts as true
    bool unset; // skipped by the value rule, as if absent
};

class ShowRuleTest : public MenuTest,
                     public ::testing::WithParamInterface<std::tuple<MenuCommand, StoredValue>> {};

TEST_P(ShowRuleTest, FollowsTheStoredOption) {
    const auto& [command, stored] = GetParam();
    // A key no item uses keeps the map non-empty, so the defaults never step in.
    // Stored after start-up: the menu must reload the options itself.
    FinderSync& sync = makeFinderSync();
    PlistDictionary options{{"someOtherKey", true}};
    if (stored.value)
        options.set(std::string(command.optionKey), *stored.value);
    setOptions(options);
    setRunning();

    std::optional<Menu> menu = sync.menuForMenuKind(0);
    ASSERT_TRUE(menu.has_value()); // a menu even when it holds no item
    const bool onByDefault = command.optionKey == "newTextFile";
    EXPECT_EQ(has(*menu, command.title), stored.on || (stored.unset && onByDefault));
}

INSTANTIATE_TEST_SUITE_P(AllCommands, ShowRuleTest,
                         ::testing::Combine(::testing::ValuesIn(menuCommands()),
                                            ::testing::Values(StoredValue{{}, false, true},
                                                              StoredValue{true, true, false},
                                                              StoredValue{false, false, false},
                                                              StoredValue{0, false, false},
                                                              StoredValue{2, true, false},
                                                              StoredValue{"true", false, true})));

struct AppRow {
    bool iTerm, first, second, enabled;
    std::vector<std::string> checks; // existence tests, in order
};

class InstalledAppTest : public MenuTest, public ::testing::WithParamInterface<AppRow> {};

TEST_P(InstalledAppTest, EnabledWhenAnEditionExistsTestedInOrder) {
    const AppRow& row = GetParam();
    files.setExists(row.iTerm ? kITerm : kVSCode, row.first);
    files.setExists(row.iTerm ? kITerm2 : kInsiders, row.second);
    setOptions({{row.iTerm ? "newITermHere" : "openInVSCode", true}, {"newTextFile", false}});
    setRunning();
    FinderSync& sync = makeFinderSync();

    std::optional<Menu> menu = sync.menuForMenuKind(0);
    ASSERT_TRUE(menu.has_value());
    ASSERT_EQ(menu->items.size(), 1u);
    EXPECT_EQ(menu->items[0].title,
              row.iTerm ? "New iTerm2 Window Here" : "Open in Visual Studio Code");
    EXPECT_EQ(menu->items[0].enabled, row.enabled);
    std::vector<std::string> appChecks;
    for (const std::string& call : calls) {
        if (call.starts_with("files.fileExists /Applications/"))
            appChecks.push_back(call.substr(call.find('/')));
    }
    EXPECT_EQ(appChecks, row.checks);
    if (!row.iTerm) {
        EXPECT_EQ(sync.locateVSCodeApp(),
                  row.enabled ? std::optional(FileURL::fromPath(row.checks.back())) : std::nullopt);
    }
}

INSTANTIATE_TEST_SUITE_P(Editions, InstalledAppTest,
                         ::testing::Values(AppRow{true, true, true, true, {kITerm}},
                                           AppRow{true, false, true, true, {kITerm, kITerm2}},
                                           AppRow{true, false, false, false, {kITerm, kITerm2}},
                                           AppRow{false, true, true, true, {kVSCode}},
                                           AppRow{false, false, true, true, {kVSCode, kInsiders}},
                                           AppRow{
                                               false, false, false, false, {kVSCode, kInsiders}}));

struct FlagRow {
    std::optional<PlistValue> flag;
    bool suiteAvailable;
};

class NotRunningTest : public MenuTest, public ::testing::WithParamInterface<FlagRow> {};

TEST_P(NotRunningTest, NoMenuAndNoReload) {
    grantFolder("home", temp.makeFolder("granted"));
    if (GetParam().flag)
        setRunning(*GetParam().flag);
    FinderSync& sync = makeFinderSync();
    sync.menuOptions = MenuOptions{{"marker", true}};
    settings.setAvailable(GetParam().suiteAvailable);
    clearRecords();

    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt);
    fakes::CallLog expected{"settings.openSuite group.Brenvo.Corvane"};
    if (GetParam().suiteAvailable)
        expected.push_back("settings.objectForKey appIsRunning");
    EXPECT_EQ(calls, expected);
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(sync.menuOptions, (MenuOptions{{"marker", true}}));
}

INSTANTIATE_TEST_SUITE_P(Flags, NotRunningTest,
                         ::testing::Values(FlagRow{{}, true}, FlagRow{false, true},
                                           FlagRow{0, true}, FlagRow{"true", true},
                                           FlagRow{true, false}));

TEST_F(MenuTest, RunningCompanionReloadsSecuredFoldersThenOptions) {
    FinderSync& sync = makeFinderSync();
    grantFolder("home", temp.makeFolder("granted"));
    setRunning(1);
    clearRecords();
    ASSERT_TRUE(sync.menuForMenuKind(0).has_value());
    std::vector<std::string> lines = logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Loaded secured URL: " + temp.path() + "/granted");
    EXPECT_TRUE(lines[1].starts_with("[CorvaneExt] Loaded menu options")) << lines[1];
}

TEST_F(MenuTest, AllSevenOnGiveTheExactMenu) {
    PlistDictionary options;
    for (const MenuCommand& command : menuCommands())
        options.set(std::string(command.optionKey), true);
    setOptions(options);
    setRunning();
    files.setExists(kITerm2, true);
    files.setExists(kInsiders, true);
    for (const char* symbol : {"doc.badge.plus", "terminal", "text.cursor"})
        images.addSymbol(symbol);

    auto item = [](std::string title, std::string action, std::string symbol, bool known) {
        return entry(title, action, true,
                     known ? std::optional(MenuImage{symbol, "icon:" + symbol, true, title})
                           : std::nullopt);
    };
    const Menu expected{"",
                        {item("New Text File", "createNewTextFile:", "doc.badge.plus", true),
                         item("New Terminal Here", "openTerminalHere:", "terminal", true),
                         item("New iTerm2 Window Here", "openITermHere:", "terminal.fill", false),
                         item("Copy Path", "copyPath:", "doc.on.doc", false),
                         item("Batch Rename", "batchRenameItems:", "text.cursor", true),
                         item("Show/Hide Hidden Files", "toggleHiddenFiles:", "eye", false),
                         item("Open in Visual Studio Code",
                              "openInVSCode:", "chevron.left.forwardslash.chevron.right", false)}};
    EXPECT_EQ(makeFinderSync().menuForMenuKind(0), expected);
    // Every symbol is asked for, known or not, with the title as its description.
    std::vector<std::pair<std::string, std::string>> asked;
    for (const MenuCommand& command : menuCommands())
        asked.emplace_back(command.symbolName, command.title);
    EXPECT_EQ(images.requests(), asked);
}

TEST_F(MenuTest, MissingSettingsHeadTheMenuWithTheStatusWhateverTheMenuKind) {
    setRunning();
    FinderSync& sync = makeFinderSync();
    const Menu expected{"",
                        {entry(kNotFound, std::nullopt, false), MenuItem::separator(),
                         entry("New Text File", "createNewTextFile:")}};
    for (unsigned kind : {0u, 1u, 2u, 3u, UINT_MAX})
        EXPECT_EQ(sync.menuForMenuKind(kind), expected) << "kind " << kind;
}

} // namespace
} // namespace corvane
