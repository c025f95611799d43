#include "extension/finder_sync.h"
#include "extension/menu/menu_builder.h"
#include "tests/fakes/fake_file_manager.h"
#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>

namespace corvane {
namespace {

using fakes::FinderSyncFixture;

constexpr std::string_view kITerm = "/Applications/iTerm.app";
constexpr std::string_view kITerm2 = "/Applications/iTerm 2.app";
constexpr std::string_view kVSCode = "/Applications/Visual Studio Code.app";
constexpr std::string_view kVSCodeInsiders = "/Applications/Visual Studio Code - Insiders.app";

/// A FinderSync whose file manager answers for the applications the menu looks for.
class MenuTest : public FinderSyncFixture {
  protected:
    MenuTest() {
        for (std::string_view app : {kITerm, kITerm2, kVSCode, kVSCodeInsiders})
            apps.setExists(std::string(app), false);
    }

    FinderSync& make() {
        finderSync = std::make_unique<FinderSync>(
            FinderSyncServices{controller, settings, containers, apps, security, notifications,
                               scheduler, uuids, images, log});
        return *finderSync;
    }

    void setRunning(PlistValue flag = true) {
        setSharedValue(std::string(contract::kAppRunningKey), std::move(flag));
    }
    void setSharedOptions(PlistDictionary options) {
        setSharedValue(std::string(contract::kMenuOptionsKey), std::move(options));
    }

    static const MenuItem* find(const Menu& menu, std::string_view title) {
        auto it = std::find_if(menu.items.begin(), menu.items.end(),
                               [&](const MenuItem& item) { return item.title == title; });
        return it == menu.items.end() ? nullptr : &*it;
    }

    fakes::ExistenceOverlayFileManager apps{files};
};

// --- Settings status ------------------------------------------------------

enum class Shared { Missing, Empty, OnlyStrings, Present, SuiteUnavailable };

struct StatusRow {
    Shared shared;
    bool optionsFile;
    bool container;
    std::optional<std::string> expected;
};

class SettingsStatusTest : public MenuTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(SettingsStatusTest, DecidesFromSharedOptionsFileAndContainer) {
    const StatusRow& row = GetParam();
    if (row.shared == Shared::Empty)
        setSharedOptions({});
    if (row.shared == Shared::OnlyStrings)
        setSharedOptions({{"copyPath", "yes"}});
    if (row.shared == Shared::Present)
        setSharedOptions({{"copyPath", true}});
    if (row.optionsFile)
        writeOptionsFile(PlistDictionary{{"copyPath", true}});
    FinderSync& sync = make();
    settings.setAvailable(row.shared != Shared::SuiteUnavailable);
    if (!row.container)
        containers.setContainer(std::nullopt);

    EXPECT_EQ(sync.settingsStatusMessage(), row.expected);
}

const std::string kNotFound = "Corvane+ settings not found";
const std::string kUnavailable = "Corvane+ settings unavailable (App Group)";

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsStatusTest,
    ::testing::Values(StatusRow{Shared::Present, false, true, std::nullopt},
                      StatusRow{Shared::Present, false, false, std::nullopt},
                      StatusRow{Shared::OnlyStrings, false, true, std::nullopt},
                      StatusRow{Shared::Missing, true, true, std::nullopt},
                      StatusRow{Shared::Empty, true, true, std::nullopt},
                      StatusRow{Shared::Missing, false, true, kNotFound},
                      StatusRow{Shared::Empty, false, true, kNotFound},
                      StatusRow{Shared::SuiteUnavailable, false, true, kNotFound},
                      StatusRow{Shared::Missing, false, false, kUnavailable},
                      StatusRow{Shared::SuiteUnavailable, false, false, kUnavailable}));

// --- Whether each command is shown ------------------------------------------

struct Command {
    std::string key;
    std::string title;
    bool onByDefault;
};

const Command kCommands[] = {
    {"newTextFile", "New Text File", true},
    {"newTerminalHere", "New Terminal Here", false},
    {"newITermHere", "New iTerm2 Window Here", false},
    {"copyPath", "Copy Path", false},
    {"batchRename", "Batch Rename", false},
    {"toggleHiddenFiles", "Show/Hide Hidden Files", false},
    {"openInVSCode", "Open in Visual Studio Code", false},
};

enum class Stored { Absent, True, False, NumberZero, NumberTwo, String };

class ShowRuleTest : public MenuTest,
                     public ::testing::WithParamInterface<std::tuple<Command, Stored>> {};

TEST_P(ShowRuleTest, FollowsTheStoredOption) {
    const auto& [command, stored] = GetParam();
    // A key no item uses keeps the map non-empty, so the defaults never step in.
    PlistDictionary options{{"someOtherKey", true}};
    switch (stored) {
    case Stored::Absent:
        break;
    case Stored::True:
        options.set(command.key, true);
        break;
    case Stored::False:
        options.set(command.key, false);
        break;
    case Stored::NumberZero:
        options.set(command.key, 0);
        break;
    case Stored::NumberTwo:
        options.set(command.key, 2);
        break;
    case Stored::String:
        options.set(command.key, "true");
        break;
    }
    setSharedOptions(options);
    setRunning();

    std::optional<Menu> menu = make().menuForMenuKind(0);
    ASSERT_TRUE(menu.has_value());
    const bool on = stored == Stored::True || stored == Stored::NumberTwo;
    const bool unset = stored == Stored::Absent || stored == Stored::String;
    EXPECT_EQ(find(*menu, command.title) != nullptr, on || (unset && command.onByDefault));
}

INSTANTIATE_TEST_SUITE_P(AllCommands, ShowRuleTest,
                         ::testing::Combine(::testing::ValuesIn(kCommands),
                                            ::testing::Values(Stored::Absent, Stored::True,
                                                              Stored::False, Stored::NumberZero,
                                                              Stored::NumberTwo, Stored::String)));

TEST_F(MenuTest, NewTextFileOffAloneGivesAnEmptyMenuNotNone) {
    setSharedOptions({{"newTextFile", false}});
    setRunning();
    std::optional<Menu> menu = make().menuForMenuKind(0);
    ASSERT_TRUE(menu.has_value());
    EXPECT_TRUE(menu->items.empty());
}

// --- Installed applications -------------------------------------------------

struct AppRow {
    bool first;
    bool second;
    bool enabled;
    std::vector<std::string_view> checks;
};

class ITermTest : public MenuTest, public ::testing::WithParamInterface<AppRow> {};

TEST_P(ITermTest, EnabledWhenEitherEditionExists) {
    const AppRow& row = GetParam();
    apps.setExists(std::string(kITerm), row.first);
    apps.setExists(std::string(kITerm2), row.second);
    setSharedOptions({{"newITermHere", true}});
    setRunning();
    std::optional<Menu> menu = make().menuForMenuKind(0);
    ASSERT_TRUE(menu.has_value());
    const MenuItem* item = find(*menu, "New iTerm2 Window Here");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->enabled, row.enabled);

    std::vector<std::string> appChecks;
    std::ranges::copy_if(apps.existenceChecks(), std::back_inserter(appChecks),
                         [](const std::string& p) { return p.starts_with("/Applications/"); });
    EXPECT_EQ(appChecks, std::vector<std::string>(row.checks.begin(), row.checks.end()));
}

INSTANTIATE_TEST_SUITE_P(Editions, ITermTest,
                         ::testing::Values(AppRow{true, false, true, {kITerm}},
                                           AppRow{true, true, true, {kITerm}},
                                           AppRow{false, true, true, {kITerm, kITerm2}},
                                           AppRow{false, false, false, {kITerm, kITerm2}}));

class VSCodeTest : public MenuTest, public ::testing::WithParamInterface<AppRow> {};

TEST_P(VSCodeTest, StableEditionFirstThenInsiders) {
    const AppRow& row = GetParam();
    apps.setExists(std::string(kVSCode), row.first);
    apps.setExists(std::string(kVSCodeInsiders), row.second);
    setSharedOptions({{"openInVSCode", true}});
    setRunning();
    FinderSync& sync = make();

    std::optional<FileURL> app = sync.locateVSCodeApp();
    std::optional<FileURL> expected;
    if (row.enabled)
        expected = FileURL::fromPath(row.checks.back());
    EXPECT_EQ(app, expected);
    EXPECT_EQ(std::vector<std::string>(apps.existenceChecks()),
              std::vector<std::string>(row.checks.begin(), row.checks.end()));

    std::optional<Menu> menu = sync.menuForMenuKind(0);
    ASSERT_TRUE(menu.has_value());
    const MenuItem* item = find(*menu, "Open in Visual Studio Code");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->enabled, row.enabled);
}

INSTANTIATE_TEST_SUITE_P(Editions, VSCodeTest,
                         ::testing::Values(AppRow{true, true, true, {kVSCode}},
                                           AppRow{false, true, true, {kVSCode, kVSCodeInsiders}},
                                           AppRow{
                                               false, false, false, {kVSCode, kVSCodeInsiders}}));

// --- The running flag -------------------------------------------------------

class RunningFlagTest : public MenuTest,
                        public ::testing::WithParamInterface<std::optional<PlistValue>> {};

TEST_P(RunningFlagTest, NoMenuAndNoReloadUnlessTheFlagIsTrue) {
    grantFolder("home", temp.makeFolder("granted"));
    if (GetParam())
        setRunning(*GetParam());
    FinderSync& sync = make();
    sync.menuOptions = MenuOptions{{"marker", true}};
    clearRecords();

    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt);
    EXPECT_EQ(calls, (fakes::CallLog{"settings.openSuite group.Brenvo.Corvane",
                                     "settings.objectForKey appIsRunning"}));
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(sync.menuOptions, (MenuOptions{{"marker", true}}));
}

INSTANTIATE_TEST_SUITE_P(Values, RunningFlagTest,
                         ::testing::Values(std::nullopt, PlistValue(false), PlistValue(0),
                                           PlistValue("true")));

TEST_F(MenuTest, NoMenuWhenTheSuiteCannotBeOpened) {
    setRunning();
    FinderSync& sync = make();
    settings.setAvailable(false);
    clearRecords();
    EXPECT_EQ(sync.menuForMenuKind(0), std::nullopt);
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(security.resolveCount(), 0);
}

TEST_F(MenuTest, RunningCompanionReloadsSecuredFoldersThenOptions) {
    grantFolder("home", temp.makeFolder("granted"));
    setSharedOptions({{"copyPath", true}});
    setRunning(1);
    FinderSync& sync = make();
    clearRecords();

    ASSERT_TRUE(sync.menuForMenuKind(0).has_value());
    EXPECT_EQ(logLines().front(), "Loaded secured URL: " + temp.path() + "/granted");
    EXPECT_EQ(sync.menuOptions, (MenuOptions{{"copyPath", true}}));
}

// --- Whole menus --------------------------------------------------------------

TEST_F(MenuTest, AllSevenOnGiveTheExactMenu) {
    PlistDictionary options;
    for (const Command& command : kCommands)
        options.set(command.key, true);
    setSharedOptions(options);
    setRunning();
    apps.setExists(std::string(kITerm2), true);
    apps.setExists(std::string(kVSCodeInsiders), true);
    images.addSymbol("doc.badge.plus");
    images.addSymbol("terminal");
    images.addSymbol("text.cursor");

    auto item = [](std::string title, std::string action, std::string symbol, bool known) {
        MenuItem i;
        i.title = title;
        i.action = action;
        if (known)
            i.image = MenuImage{symbol, "icon:" + symbol, true, title};
        return i;
    };
    Menu expected;
    expected.items = {
        item("New Text File", "createNewTextFile:", "doc.badge.plus", true),
        item("New Terminal Here", "openTerminalHere:", "terminal", true),
        item("New iTerm2 Window Here", "openITermHere:", "terminal.fill", false),
        item("Copy Path", "copyPath:", "doc.on.doc", false),
        item("Batch Rename", "batchRenameItems:", "text.cursor", true),
        item("Show/Hide Hidden Files", "toggleHiddenFiles:", "eye", false),
        item("Open in Visual Studio Code",
             "openInVSCode:", "chevron.left.forwardslash.chevron.right", false),
    };
    EXPECT_EQ(make().menuForMenuKind(0), expected);

    // Every symbol is asked for, known or not, with the title as its description.
    std::vector<std::pair<std::string, std::string>> asked;
    for (const MenuCommand& command : menuCommands())
        asked.emplace_back(command.symbolName, command.title);
    EXPECT_EQ(images.requests(), asked);
}

TEST_F(MenuTest, MissingSettingsHeadTheMenuWithTheStatusAndOneSeparator) {
    setRunning();
    MenuItem status;
    status.title = "Corvane+ settings not found";
    status.enabled = false;
    MenuItem newTextFile;
    newTextFile.title = "New Text File";
    newTextFile.action = "createNewTextFile:";
    EXPECT_EQ(make().menuForMenuKind(0), (Menu{"", {status, MenuItem::separator(), newTextFile}}));
}

TEST_F(MenuTest, TheMenuKindChangesNothing) {
    setSharedOptions({{"copyPath", true}, {"eye", true}, {"batchRename", true}});
    setRunning();
    FinderSync& sync = make();
    const std::optional<Menu> first = sync.menuForMenuKind(0);
    ASSERT_TRUE(first.has_value());
    for (unsigned kind : {1u, 2u, 3u, UINT_MAX})
        EXPECT_EQ(sync.menuForMenuKind(kind), first) << "kind " << kind;
}

} // namespace
} // namespace corvane
