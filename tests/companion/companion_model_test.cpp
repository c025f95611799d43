// The companion app's rules, without a display: switches, granted folders,
// the rename preview, the extension's requests, hidden files and
// applications.ini.

#include "companion/model/applications_config.h"
#include "companion/model/extension_requests.h"
#include "companion/model/granted_folders.h"
#include "companion/model/hidden_files_settings.h"
#include "companion/model/options_model.h"
#include "companion/model/rename_preview.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace corvane::companion {
namespace {

using testing::TempDir;

std::vector<bool> states(const OptionsView& view) {
    std::vector<bool> on;
    for (const OptionSwitch& option : view.switches)
        on.push_back(option.on);
    return on;
}

TEST(OptionsModelTest, SwitchesShowWhatTheExtensionUsesAndWriteEveryCommand) {
    EXPECT_EQ(states(optionsView(std::nullopt, std::nullopt)),
              (std::vector<bool>{true, false, false, false, false, false, false}));
    // Numbers count as flags; strings do not, so "only strings" means defaults.
    PlistDictionary stored{{"copyPath", 2}, {"newTextFile", 0}, {"future", true}};
    OptionsView view = optionsView(std::nullopt, PlistValue(stored));
    EXPECT_EQ(view.source, OptionsSource::SharedSettings);
    EXPECT_EQ(states(view), (std::vector<bool>{false, false, false, true, false, false, false}));
    EXPECT_EQ(optionsView(std::nullopt, PlistValue(PlistDictionary{{"copyPath", "yes"}})).source,
              OptionsSource::Defaults);
    view = optionsView(PlistDictionary{{"batchRename", true}}, PlistValue(stored));
    EXPECT_EQ(view.source, OptionsSource::File);
    EXPECT_EQ(states(view), (std::vector<bool>{true, false, false, false, true, false, false}));

    // Every command gets its flag as the menu showed it; unknown keys stay.
    std::optional<PlistValue> value = PlistValue(stored);
    EXPECT_EQ(switchOption(value, "newTextFile", true), EditOutcome::Changed);
    EXPECT_EQ(value->asDictionary().size(), 8u);
    EXPECT_EQ(value->asDictionary().entries().front().first, "copyPath");
    EXPECT_EQ(states(optionsView(std::nullopt, value)),
              (std::vector<bool>{true, false, false, true, false, false, false}));
    EXPECT_EQ(switchOption(value, "newTextFile", true), EditOutcome::Unchanged);
    value = PlistValue("written by someone else");
    EXPECT_EQ(switchOption(value, "copyPath", true), EditOutcome::WrongType);
    EXPECT_EQ(*value, PlistValue("written by someone else"));
}

TEST(GrantedFoldersTest, AddsResolvesAndRemovesBookmarks) {
    TempDir dir;
    const std::string a = dir.makeFolder("a").path(), gone = dir.makeFolder("gone").path();
    BookmarkSecurityScope security;
    std::optional<PlistValue> stored;
    EXPECT_EQ(addGrant(stored, a, *makeBookmarkData(a)), EditOutcome::Changed);
    EXPECT_EQ(addGrant(stored, a, *makeBookmarkData(a)), EditOutcome::Unchanged);
    EXPECT_EQ(addGrant(stored, a, *makeBookmarkData(gone)), EditOutcome::Changed);
    std::filesystem::remove(gone);
    GrantedFolders list = grantedFolders(stored, security);
    ASSERT_EQ(list.folders.size(), 2u);
    EXPECT_EQ(list.folders[0].key, a);
    EXPECT_EQ(list.folders[0].path, a);
    EXPECT_EQ(list.folders[1].key, a + " (2)");
    EXPECT_FALSE(list.folders[1].problem.empty());

    stored->asDictionary().set("junk", "not data");
    list = grantedFolders(stored, security);
    EXPECT_TRUE(list.unusableAsWhole);
    EXPECT_EQ(list.folders[2].problem, "Not a folder bookmark");
    EXPECT_EQ(removeGrant(stored, "junk"), EditOutcome::Changed);
    EXPECT_EQ(removeGrant(stored, "junk"), EditOutcome::Unchanged);
    EXPECT_FALSE(grantedFolders(stored, security).unusableAsWhole);
    std::optional<PlistValue> wrong = PlistValue(PlistArray{});
    EXPECT_TRUE(grantedFolders(wrong, security).wrongType);
    EXPECT_EQ(addGrant(wrong, a, "x"), EditOutcome::WrongType);
}

TEST(RenamePreviewTest, NamesWhatTheEngineThenDoes) {
    TempDir dir;
    for (const char* name : {"B3.txt", "C.txt", "D.txt", "B5.txt"})
        dir.writeFile(name, name);
    dir.makeFolder("Album.2020");
    const std::vector<std::string> paths{dir / "C.txt",      dir / "B3.txt", dir / "gone.txt",
                                         dir / "Album.2020", dir / "C.txt",  dir / "D.txt"};
    PosixFileManager disk;
    BookmarkSecurityScope security;
    // B3.txt moves first and frees its name for C.txt; C.txt listed twice
    // moves once; B5.txt is taken.
    const std::vector<PreviewRow> rows = previewRename(paths, "B", disk, security);
    std::vector<std::string> preview;
    for (const PreviewRow& row : rows)
        preview.push_back(FileURL::fromPath(row.path).lastPathComponent() + ">" +
                          row.newName.value_or("-"));
    EXPECT_EQ(preview,
              (std::vector<std::string>{"Album.2020>B1.2020", "B3.txt>B2.txt", "C.txt>B3.txt",
                                        "C.txt>-", "D.txt>B5 (1).txt", "gone.txt>-"}));
}

TEST(RenamePreviewTest, BaseNamesThatCannotBeSent) {
    for (const auto& [name, problem] : {std::pair{"", BaseNameProblem::Empty},
                                        {"a/b", BaseNameProblem::HasSlash},
                                        {".", BaseNameProblem::DotOrDotDot},
                                        {"..", BaseNameProblem::DotOrDotDot},
                                        {"...", BaseNameProblem::None},
                                        {" Photo ", BaseNameProblem::None}})
        EXPECT_EQ(checkBaseName(name), problem) << name;
}

TEST(ExtensionRequestsTest, ReadsRequestsMessagesAndResults) {
    EXPECT_EQ(readExtensionRequest({{"paths", PlistArray{"/a", PlistData{"/b\xff"}, 3}}}),
              ExtensionRequest(RenameRequest{{"/a", "/b\xff"}}));
    EXPECT_EQ(readExtensionRequest({{"id", "X"},
                                    {"paths", PlistArray{}},
                                    {"isError", true},
                                    {"message", "Select at least two items"}}),
              ExtensionRequest(FeedbackMessage{"Select at least two items"}));
    EXPECT_EQ(readExtensionRequest({{"paths", PlistArray{}}, {"isError", false}}),
              ExtensionRequest(std::monostate{}));
    EXPECT_EQ(readExtensionRequest({{"paths", "/a"}}), ExtensionRequest(std::monostate{}));
    EXPECT_EQ(recordId({{"id", 7}}), std::nullopt);

    EXPECT_EQ(renameResultText({{"successCount", 2}, {"failures", PlistArray{"c\xff.txt"}}}),
              (NotificationText{"Renamed 2 items", "Not renamed: c\xEF\xBF\xBD.txt"}));
    EXPECT_EQ(renameResultText({{"successCount", 1}, {"failures", PlistArray{}}}),
              (NotificationText{"Renamed 1 item", ""}));
}

/// Settings in memory; a row whose value is none counts as not installed.
struct MemoryStores final : SettingsStores {
    std::map<std::string_view, std::optional<bool>> values;
    std::string_view failing;
    std::optional<bool> read(const HiddenFilesSetting& setting) override {
        return values[setting.fileManager];
    }
    Expected<void> write(const HiddenFilesSetting& setting, bool value) override {
        if (setting.fileManager == failing)
            return makeError("refused");
        values[setting.fileManager] = value;
        return {};
    }
};

TEST(HiddenFilesTest, OneRowPerFileManagerFlippedTogether) {
    const std::array<HiddenFilesSetting, 4> rows{{
        {"Missing", "", SettingStore::GSettings, "", ""},
        {"First", "", SettingStore::GSettings, "", ""},
        {"Second", "", SettingStore::Xfconf, "", ""},
        {"Broken", "", SettingStore::Xfconf, "", ""},
    }};
    MemoryStores stores;
    stores.values = {{"First", true}, {"Second", false}, {"Broken", true}};
    stores.failing = "Broken";
    ToggleOutcome outcome = toggleHiddenFiles(rows, stores);
    EXPECT_EQ(outcome.shown, false);
    EXPECT_EQ(outcome.failures, std::vector<std::string>{"Broken: refused"});
    EXPECT_EQ(stores.values["First"], false);
    EXPECT_EQ(stores.values["Second"], false);
    EXPECT_EQ(stores.values["Missing"], std::nullopt);
    EXPECT_EQ(toggleHiddenFiles(rows, stores).shown, true);
    EXPECT_EQ(toggleHiddenFiles(std::span(rows).first(1), stores).shown, std::nullopt);
}

TEST(ApplicationsConfigTest, WritesOnlyTheGroupsItManages) {
    const std::string ini = "# mine\n[iTerm]\nExec=alacritty\n\n[Terminal]\nExec=xterm\n"
                            "Comment=kept\n[Visual Studio Code]\nExec=old %F\n";
    const std::string editor = execLineFor(ApplicationRole::Editor, "/opt/my editor/bin\\code");
    EXPECT_EQ(withExecLine(ini, ApplicationRole::Editor, editor),
              "# mine\n[iTerm]\nExec=alacritty\n\n[Terminal]\nExec=xterm\nComment=kept\n"
              "[Visual Studio Code]\nExec='/opt/my editor/bin\\\\code' %F\n\n"
              "[Visual Studio Code - Insiders]\nExec='/opt/my editor/bin\\\\code' %F\n");
    EXPECT_EQ(
        storedExecLine(withExecLine(ini, ApplicationRole::Editor, editor), ApplicationRole::Editor),
        editor);
    EXPECT_EQ(withExecLine(ini, ApplicationRole::Terminal, std::nullopt),
              "# mine\n[iTerm]\nExec=alacritty\n\n[Terminal]\nComment=kept\n"
              "[Visual Studio Code]\nExec=old %F\n");
    EXPECT_EQ(withExecLine(ini, ApplicationRole::Editor, std::nullopt),
              "# mine\n[iTerm]\nExec=alacritty\n\n[Terminal]\nExec=xterm\nComment=kept\n");
    EXPECT_EQ(withExecLine("", ApplicationRole::Terminal,
                           execLineFor(ApplicationRole::Terminal, "xfce4-terminal")),
              "[Terminal]\nExec=xfce4-terminal\n");
    EXPECT_EQ(storedExecLine(ini, ApplicationRole::Terminal), "xterm");
}

} // namespace
} // namespace corvane::companion
