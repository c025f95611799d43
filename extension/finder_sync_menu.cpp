// The context menu: whether one is shown, and what it holds.

#include "extension/actions/terminal_launch.h"
#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "extension/menu/menu_builder.h"
#include "platform/app_group.h"
#include "platform/file_manager.h"
#include "platform/settings.h"
#include "platform/system_images.h"

namespace corvane {

namespace {

constexpr std::string_view kVSCodePath = "/Applications/Visual Studio Code.app";
constexpr std::string_view kVSCodeInsidersPath = "/Applications/Visual Studio Code - Insiders.app";

} // namespace

std::optional<Menu> FinderSync::menuForMenuKind(unsigned /*menuKind*/) {
    {
        // Only the running flag is read here; the loads below open the suite
        // afresh, so this snapshot is released before they run.
        std::unique_ptr<SettingsSuite> suite = services_.settings.openSuite(contract::kAppGroupId);
        if (!suite || !suite->boolForKey(contract::kAppRunningKey))
            return std::nullopt;
    }

    loadSecuredURLs();
    loadMenuOptions();

    std::optional<std::string> status = settingsStatusMessage();
    MenuEnvironment environment{
        .makeItem = [this](std::string_view title, std::string_view action,
                           std::string_view symbol) { return makeMenuItem(title, action, symbol); },
        .iTermInstalled =
            [this] {
                return services_.files.fileExists(kITermApplication.preferredPath) ||
                       services_.files.fileExists(kITermApplication.fallbackPath);
            },
        .vsCodeInstalled = [this] { return locateVSCodeApp().has_value(); },
    };
    return buildMenu(menuOptions_, status, environment);
}

std::optional<std::string> FinderSync::settingsStatusMessage() {
    SettingsFacts facts;
    if (std::unique_ptr<SettingsSuite> suite =
            services_.settings.openSuite(contract::kAppGroupId)) {
        std::optional<PlistDictionary> shared = suite->dictionaryForKey(contract::kMenuOptionsKey);
        facts.sharedOptionsPresent = shared && !shared->empty();
    }
    facts.containerAvailable = services_.containers.containerURL(contract::kAppGroupId).has_value();
    if (std::optional<FileURL> file = menuOptionsStore_.fileURL())
        facts.optionsFileExists = services_.files.fileExists(file->path());
    return settingsStatusFor(facts);
}

MenuItem FinderSync::makeMenuItem(std::string_view title, std::string_view action,
                                  std::string_view symbolName) {
    MenuItem item;
    item.title = std::string(title);
    item.action = std::string(action);
    item.keyEquivalent = "";
    if (std::optional<MenuImage> image = services_.images.systemSymbolImage(symbolName, title)) {
        image->isTemplate = true;
        item.image = std::move(image);
    }
    return item;
}

std::optional<FileURL> FinderSync::locateVSCodeApp() {
    if (services_.files.fileExists(kVSCodePath))
        return FileURL::fromPath(kVSCodePath);
    if (services_.files.fileExists(kVSCodeInsidersPath))
        return FileURL::fromPath(kVSCodeInsidersPath);
    return std::nullopt;
}

} // namespace corvane
