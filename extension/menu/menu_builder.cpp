#include "extension/menu/menu_builder.h"

#include "extension/companion_contract.h"

#include <algorithm>

namespace corvane {

const std::array<MenuCommand, 7>& menuCommands() {
    static const std::array<MenuCommand, 7> commands{{
        {Command::NewTextFile, contract::kNewTextFileOption, "New Text File",
         "createNewTextFile:", "doc.badge.plus", ShowRule::UnlessSwitchedOff, EnabledRule::Always},
        {Command::NewTerminalHere, contract::kNewTerminalHereOption, "New Terminal Here",
         "openTerminalHere:", "terminal", ShowRule::WhenSwitchedOn, EnabledRule::Always},
        {Command::NewITermHere, contract::kNewITermHereOption, "New iTerm2 Window Here",
         "openITermHere:", "terminal.fill", ShowRule::WhenSwitchedOn,
         EnabledRule::WhenITermInstalled},
        {Command::CopyPath, contract::kCopyPathOption, "Copy Path", "copyPath:", "doc.on.doc",
         ShowRule::WhenSwitchedOn, EnabledRule::Always},
        {Command::BatchRename, contract::kBatchRenameOption, "Batch Rename",
         "batchRenameItems:", "text.cursor", ShowRule::WhenSwitchedOn, EnabledRule::Always},
        {Command::ToggleHiddenFiles, contract::kToggleHiddenFilesOption, "Show/Hide Hidden Files",
         "toggleHiddenFiles:", "eye", ShowRule::WhenSwitchedOn, EnabledRule::Always},
        {Command::OpenInVSCode, contract::kOpenInVSCodeOption, "Open in Visual Studio Code",
         "openInVSCode:", "chevron.left.forwardslash.chevron.right", ShowRule::WhenSwitchedOn,
         EnabledRule::WhenVSCodeInstalled},
    }};
    return commands;
}

const MenuCommand* commandForSelector(std::string_view selector) {
    auto it = std::ranges::find(menuCommands(), selector, &MenuCommand::action);
    return it == menuCommands().end() ? nullptr : &*it;
}

MenuOptions defaultMenuOptions() {
    MenuOptions defaults;
    for (const MenuCommand& command : menuCommands())
        defaults.set(std::string(command.optionKey), command.show == ShowRule::UnlessSwitchedOff);
    return defaults;
}

bool isCommandShown(const MenuCommand& command, const MenuOptions& options) {
    std::optional<bool> flag = options.find(command.optionKey);
    switch (command.show) {
    case ShowRule::UnlessSwitchedOff:
        return flag.value_or(true);
    case ShowRule::WhenSwitchedOn:
        return flag.value_or(false);
    }
    return false;
}

std::optional<std::string> settingsStatusFor(const SettingsFacts& facts) {
    if (facts.sharedOptionsPresent || facts.optionsFileExists)
        return std::nullopt;
    return std::string(facts.containerAvailable ? kSettingsNotFoundMessage
                                                : kSettingsUnavailableMessage);
}

Menu buildMenu(const MenuOptions& options, const std::optional<std::string>& settingsStatus,
               const MenuEnvironment& environment) {
    Menu menu;
    if (settingsStatus) {
        MenuItem status;
        status.title = *settingsStatus;
        status.enabled = false;
        menu.items.push_back(std::move(status));
        menu.items.push_back(MenuItem::separator());
    }
    for (const MenuCommand& command : menuCommands()) {
        if (!isCommandShown(command, options))
            continue;
        MenuItem item = environment.makeItem(command.title, command.action, command.symbolName);
        switch (command.enabled) {
        case EnabledRule::Always:
            break;
        case EnabledRule::WhenITermInstalled:
            item.enabled = environment.iTermInstalled();
            break;
        case EnabledRule::WhenVSCodeInstalled:
            item.enabled = environment.vsCodeInstalled();
            break;
        }
        menu.items.push_back(std::move(item));
    }
    return menu;
}

} // namespace corvane
