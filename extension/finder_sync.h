#pragma once

#include "extension/companion_contract.h"
#include "extension/settings/menu_options.h"
#include "platform/file_url.h"
#include "platform/menu.h"
#include "platform/notification_center.h"
#include "platform/scheduler.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class AppGroupContainers;
class FileManager;
class FinderSyncController;
class SecurityScope;
class SettingsProvider;
class SystemImages;
class UUIDSource;

/// The platform services the extension runs on, all owned by the host and
/// outliving the `FinderSync` object.
struct FinderSyncServices {
    FinderSyncController& controller;
    SettingsProvider& settings;
    AppGroupContainers& containers;
    FileManager& files;
    SecurityScope& security;
    NotificationCenter& notifications;
    Scheduler& scheduler;
    UUIDSource& uuids;
    SystemImages& images;
    /// Where log lines go, one per line, each flushed as written.
    std::ostream& log;
};

/// The extension's principal object. It owns all of the extension's state;
/// every file-manager request and every execute notification reaches it on
/// the main loop's thread.
class FinderSync {
public:
    /// Runs the start-up: loads the secured directories, then the menu
    /// options, and has the file manager consult the extension for "/".
    explicit FinderSync(FinderSyncServices services);
    ~FinderSync();

    FinderSync(const FinderSync&) = delete;
    FinderSync& operator=(const FinderSync&) = delete;

    // Properties, in declaration order.
    std::vector<FileURL> securedURLs;
    const std::string appGroupId{contract::kAppGroupId};
    const std::string menuOptionsKey{contract::kMenuOptionsKey};
    const std::string appRunningKey{contract::kAppRunningKey};
    const std::string batchRenameNotificationName{contract::kBatchRenameRequestNotification};
    const std::string batchRenameExecuteNotificationName{contract::kBatchRenameExecuteNotification};
    const std::string batchRenameResultNotificationName{contract::kBatchRenameResultNotification};
    const std::string hiddenFilesToggleNotificationName{contract::kHiddenFilesToggleNotification};
    const std::string openInVSCodeNotificationName{contract::kOpenInVSCodeNotification};
    const std::string batchRenameRequestKey{contract::kBatchRenameRequestKey};
    const std::string batchRenameExecuteKey{contract::kBatchRenameExecuteKey};
    const std::string batchRenameResultKey{contract::kBatchRenameResultKey};
    std::unique_ptr<Timer> batchRenameExecuteTimer;
    std::optional<std::string> lastBatchRenameExecuteId;
    MenuOptions menuOptions;

    /// The context menu for a request of the file manager, or none while the
    /// companion app is not running. The menu kind does not change the menu.
    std::optional<Menu> menuForMenuKind(unsigned menuKind);

    /// True when `selector` (such as "createNewTextFile:") names an action of
    /// this object.
    bool respondsToSelector(std::string_view selector) const;
    /// Runs the action named by `selector`; false when there is no such action.
    bool performAction(std::string_view selector);

    // Secured directories.
    void loadSecuredURLs();
    bool isInsideSecuredDirectory(std::string_view path) const;

    // Menu options.
    void loadMenuOptions();
    std::optional<MenuOptions> loadMenuOptionsFromFile();
    std::optional<FileURL> menuOptionsFileURL();

    // Context menu.
    std::optional<std::string> settingsStatusMessage();
    MenuItem makeMenuItem(std::string_view title, std::string_view action,
                          std::string_view symbolName);
    std::optional<FileURL> locateVSCodeApp();

private:
    FinderSyncServices services_;
};

} // namespace corvane
