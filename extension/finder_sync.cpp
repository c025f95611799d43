#include "extension/finder_sync.h"

#include "extension/menu/menu_builder.h"
#include "platform/finder_sync_controller.h"

#include <algorithm>
#include <array>

namespace corvane {

FinderSync::FinderSync(FinderSyncServices services)
    : services_(services), menuOptionsStore_(services.settings, services.containers, services.files,
                                             services.log, defaultMenuOptions()),
      renameEngine_(services.files, services.security) {
    // Every property already holds its initial value from its initialiser.
    loadSecuredURLs();
    loadMenuOptions();
    executeObserver_ = services_.notifications.addObserver(
        std::string(batchRenameExecuteNotificationName()),
        [this](const Notification& notification) { handleBatchRenameExecute(notification); });
    startBatchRenameExecuteTimer();
    services_.controller.setDirectoryURLs({FileURL::fromPath("/")});
}

// The listed folders keep their access: a destroyed object ends nothing. It
// does stop listening, so nothing reaches it afterwards: the observer is
// removed here, and the timer stops when its member is destroyed.
FinderSync::~FinderSync() {
    if (executeObserver_)
        services_.notifications.removeObserver(*executeObserver_);
}

std::span<const FinderSync::Action> FinderSync::actions() {
    // Each action joins this table with its selector as it is built.
    static constexpr Action table[] = {
        {"createNewTextFile:", &FinderSync::createNewTextFile},
        {"openTerminalHere:", &FinderSync::openTerminalHere},
        {"openITermHere:", &FinderSync::openITermHere},
        {"copyPath:", &FinderSync::copyPath},
        {"batchRenameItems:", &FinderSync::batchRenameItems},
        {"toggleHiddenFiles:", &FinderSync::toggleHiddenFiles},
        {"openInVSCode:", &FinderSync::openInVSCode},
    };
    return table;
}

bool FinderSync::respondsToSelector(std::string_view selector) const {
    return std::ranges::any_of(actions(),
                               [selector](const Action& a) { return a.selector == selector; });
}

bool FinderSync::performAction(std::string_view selector) {
    for (const Action& action : actions()) {
        if (action.selector == selector) {
            (this->*action.run)();
            return true;
        }
    }
    return false;
}

void FinderSync::loadSecuredURLs() {
    // Old access ends first, whatever the load finds after.
    closeSecuredDirectories(securedURLs_, services_.security);
    if (auto bookmarks = readSecuredBookmarks(services_.settings, appGroupId()))
        securedURLs_ = openSecuredDirectories(*bookmarks, services_.security, services_.log);
}

bool FinderSync::isInsideSecuredDirectory(std::string_view path) const {
    return isInsideAnyDirectory(securedURLs_, path);
}

void FinderSync::loadMenuOptions() {
    menuOptions_ = menuOptionsStore_.load();
}

std::optional<MenuOptions> FinderSync::loadMenuOptionsFromFile() {
    return menuOptionsStore_.loadFromFile();
}

std::optional<FileURL> FinderSync::menuOptionsFileURL() {
    return menuOptionsStore_.fileURL();
}

} // namespace corvane
