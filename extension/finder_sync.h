#pragma once

#include "extension/companion_contract.h"
#include "extension/settings/menu_options.h"
#include "extension/settings/menu_options_store.h"
#include "extension/settings/secured_directories.h"
#include "platform/file_url.h"
#include "platform/menu.h"
#include "platform/notification_center.h"
#include "platform/scheduler.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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
    /// Ends the access of every listed folder, then lists afresh the granted
    /// folders of the companion app's bookmark map whose access starts.
    void loadSecuredURLs();
    /// True when `path` lies inside one of `securedURLs`, compared character
    /// by character.
    bool isInsideSecuredDirectory(std::string_view path) const;
    /// Runs `operation` (which writes at `url`) inside security-scoped access
    /// to `url` itself: access starts first when `url` lies inside a secured
    /// directory and ends afterwards if it was granted. The operation runs
    /// either way; its result is returned.
    template <class Operation>
    decltype(auto) withSecurityScopedAccess(const FileURL& url, Operation&& operation) {
        ScopedSecurityAccess access(services_.security, url, isInsideSecuredDirectory(url.path()));
        return std::forward<Operation>(operation)();
    }

    // Menu options.
    /// Replaces `menuOptions` from the options file, else the shared settings,
    /// else the defaults, and logs which source was used.
    void loadMenuOptions();
    /// The options file's usable entries, or none.
    std::optional<MenuOptions> loadMenuOptionsFromFile();
    /// "MenuOptions.plist" in the App Group container, or none (logged) when
    /// there is no container.
    std::optional<FileURL> menuOptionsFileURL();

    // Context menu.
    std::optional<std::string> settingsStatusMessage();
    MenuItem makeMenuItem(std::string_view title, std::string_view action,
                          std::string_view symbolName);
    std::optional<FileURL> locateVSCodeApp();

  private:
    /// An action selector and the member that carries it out.
    struct Action {
        std::string_view selector;
        void (FinderSync::*run)();
    };
    static std::span<const Action> actions();

    FinderSyncServices services_;
    MenuOptionsStore menuOptionsStore_;
};

} // namespace corvane
