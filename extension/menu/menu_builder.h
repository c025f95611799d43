#pragma once

#include "extension/settings/menu_options.h"
#include "platform/menu.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

/// When a command is shown, judged against the menu options.
enum class ShowRule {
    /// Shown unless its key is stored with false.
    UnlessSwitchedOff,
    /// Shown only when its key is stored with true.
    WhenSwitchedOn,
};

/// What decides whether a shown command can be chosen.
enum class EnabledRule {
    Always,
    WhenITermInstalled,
    WhenVSCodeInstalled,
};

/// The seven commands, each carried out by the action of the same name.
enum class Command {
    NewTextFile,
    NewTerminalHere,
    NewITermHere,
    CopyPath,
    BatchRename,
    ToggleHiddenFiles,
    OpenInVSCode,
};

/// One command of the context menu.
struct MenuCommand {
    Command command;
    std::string_view optionKey;
    std::string_view title;
    std::string_view action;
    std::string_view symbolName;
    ShowRule show;
    EnabledRule enabled;
};

/// The seven commands, in menu order: the one table of the action selectors.
const std::array<MenuCommand, 7>& menuCommands();

/// The command whose action selector is `selector` (such as
/// "createNewTextFile:"), or none.
const MenuCommand* commandForSelector(std::string_view selector);

/// The built-in options: every command's key, in menu order, with the flag
/// that shows the command as it shows when its key is absent ("newTextFile"
/// on, the six others off).
MenuOptions defaultMenuOptions();

/// True when `command` belongs in a menu built from `options`.
bool isCommandShown(const MenuCommand& command, const MenuOptions& options);

/// The text of the disabled first item when the companion app's settings cannot be found.
inline constexpr std::string_view kSettingsNotFoundMessage = "Corvane+ settings not found";
inline constexpr std::string_view kSettingsUnavailableMessage =
    "Corvane+ settings unavailable (App Group)";

/// What the settings status check found.
struct SettingsFacts {
    /// The shared settings hold a non-empty options dictionary.
    bool sharedOptionsPresent = false;
    /// The options file exists in the App Group container.
    bool optionsFileExists = false;
    /// The App Group container is available.
    bool containerAvailable = false;
};

/// The text of the settings status item for `facts`, or none when the
/// companion app's menu settings are present.
std::optional<std::string> settingsStatusFor(const SettingsFacts& facts);

/// What the builder asks of the machine. Each question is asked only for a
/// command that is shown, at the moment its item is built.
struct MenuEnvironment {
    /// Builds one command item from its title, action selector and symbol name.
    std::function<MenuItem(std::string_view, std::string_view, std::string_view)> makeItem;
    std::function<bool()> iTermInstalled;
    std::function<bool()> vsCodeInstalled;
};

/// The menu for `options`: the status item and a separator when
/// `settingsStatus` holds a text, then every shown command in menu order.
Menu buildMenu(const MenuOptions& options, const std::optional<std::string>& settingsStatus,
               const MenuEnvironment& environment);

} // namespace corvane
