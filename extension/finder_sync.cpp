#include "extension/finder_sync.h"

#include "extension/companion_contract.h"
#include "extension/menu/menu_builder.h"
#include "extension/settings/secured_directories.h"
#include "platform/finder_sync_controller.h"

namespace corvane {

FinderSync::FinderSync(FinderSyncServices services)
    : services_(services), menuOptionsStore_(services.settings, services.containers, services.files,
                                             services.log, defaultMenuOptions()),
      renameEngine_(services.files, services.security) {
    // Every property already holds its initial value from its initialiser.
    loadSecuredURLs();
    loadMenuOptions();
    executeObserver_ = services_.notifications.addObserver(
        std::string(contract::kBatchRenameExecuteNotification),
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

bool FinderSync::respondsToSelector(std::string_view selector) const {
    return commandForSelector(selector) != nullptr;
}

bool FinderSync::performAction(std::string_view selector) {
    const MenuCommand* command = commandForSelector(selector);
    if (!command)
        return false;
    switch (command->command) {
    case Command::NewTextFile:
        createNewTextFile();
        break;
    case Command::NewTerminalHere:
        openTerminalHere();
        break;
    case Command::NewITermHere:
        openITermHere();
        break;
    case Command::CopyPath:
        copyPath();
        break;
    case Command::BatchRename:
        batchRenameItems();
        break;
    case Command::ToggleHiddenFiles:
        toggleHiddenFiles();
        break;
    case Command::OpenInVSCode:
        openInVSCode();
        break;
    }
    return true;
}

void FinderSync::loadSecuredURLs() {
    // Old access ends first, whatever the load finds after.
    closeSecuredDirectories(securedURLs_, services_.security);
    if (auto bookmarks = readSecuredBookmarks(services_.settings, contract::kAppGroupId))
        securedURLs_ = openSecuredDirectories(*bookmarks, services_.security, services_.log);
    securedRule_ = SecuredFolderRule(securedURLs_);
}

bool FinderSync::isInsideSecuredDirectory(std::string_view path) const {
    return securedRule_.isInside(path);
}

void FinderSync::loadMenuOptions() {
    menuOptions_ = menuOptionsStore_.load();
}

} // namespace corvane
