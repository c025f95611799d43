#pragma once

#include "extension/batchrename/batch_rename_request.h"
#include "extension/batchrename/rename_engine.h"
#include "extension/companion_contract.h"
#include "extension/settings/menu_options.h"
#include "extension/settings/menu_options_store.h"
#include "extension/settings/secured_directories.h"
#include "platform/alert.h"
#include "platform/file_url.h"
#include "platform/menu.h"
#include "platform/notification_center.h"
#include "platform/pasteboard.h"
#include "platform/scheduler.h"
#include "platform/workspace.h"

#include <cstdint>
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
struct ExecuteRequest;
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
    Workspace& workspace;
    Pasteboard& pasteboard;
    AlertPresenter& alerts;
};

/// The extension's principal object. It owns all of the extension's state;
/// every file-manager request and every execute notification reaches it on
/// the main loop's thread.
class FinderSync {
  public:
    /// Runs the start-up: loads the secured directories, then the menu
    /// options, registers for execute notifications, starts the poll timer,
    /// and has the file manager consult the extension for "/".
    explicit FinderSync(FinderSyncServices services);
    /// Stops listening: no notification and no timer tick reaches the object
    /// afterwards.
    ~FinderSync();

    FinderSync(const FinderSync&) = delete;
    FinderSync& operator=(const FinderSync&) = delete;

    // Properties, in declaration order. The names and keys are those shared
    // with the companion app; the state changes only through the operations
    // below.

    /// The secured directories, each with its access open.
    const std::vector<FileURL>& securedURLs() const { return securedURLs_; }
    /// The App Group: the shared settings suite and the shared container.
    std::string_view appGroupId() const { return contract::kAppGroupId; }
    std::string_view menuOptionsKey() const { return contract::kMenuOptionsKey; }
    std::string_view appRunningKey() const { return contract::kAppRunningKey; }
    std::string_view batchRenameNotificationName() const {
        return contract::kBatchRenameRequestNotification;
    }
    std::string_view batchRenameExecuteNotificationName() const {
        return contract::kBatchRenameExecuteNotification;
    }
    std::string_view batchRenameResultNotificationName() const {
        return contract::kBatchRenameResultNotification;
    }
    std::string_view hiddenFilesToggleNotificationName() const {
        return contract::kHiddenFilesToggleNotification;
    }
    std::string_view openInVSCodeNotificationName() const {
        return contract::kOpenInVSCodeNotification;
    }
    std::string_view batchRenameRequestKey() const { return contract::kBatchRenameRequestKey; }
    std::string_view batchRenameExecuteKey() const { return contract::kBatchRenameExecuteKey; }
    std::string_view batchRenameResultKey() const { return contract::kBatchRenameResultKey; }
    /// The poll timer, or none while it is not scheduled.
    const Timer* batchRenameExecuteTimer() const { return batchRenameExecuteTimer_.get(); }
    /// The id of the last execute record taken up, or none.
    const std::optional<std::string>& lastBatchRenameExecuteId() const {
        return lastBatchRenameExecuteId_;
    }
    /// The menu options as the last `loadMenuOptions` left them.
    const MenuOptions& menuOptions() const { return menuOptions_; }

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
    /// True when `path` lies inside one of `securedURLs()`, compared character
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
    /// Replaces `menuOptions()` from the options file, else the shared
    /// settings, else the defaults, and logs which source was used.
    void loadMenuOptions();
    /// The options file's usable entries, or none.
    std::optional<MenuOptions> loadMenuOptionsFromFile();
    /// "MenuOptions.plist" in the App Group container, or none (logged) when
    /// there is no container.
    std::optional<FileURL> menuOptionsFileURL();

    // Context menu.
    /// The text of the disabled first item when the companion app's menu
    /// settings cannot be found, or none.
    std::optional<std::string> settingsStatusMessage();
    /// One command item, with the symbol's image as a template when the
    /// system has it.
    MenuItem makeMenuItem(std::string_view title, std::string_view action,
                          std::string_view symbolName);
    /// The stable edition of Visual Studio Code, else the Insiders edition, or none.
    std::optional<FileURL> locateVSCodeApp();

    // Finder actions. Each reads the targeted folder and the selection from
    // the controller when it runs.
    /// Creates an empty text file with the first free "Untitled" name in the
    /// targeted folder; logs when there is none.
    void createNewTextFile();
    /// Creates the file in `directory` inside security-scoped access, then
    /// logs and reveals it, or logs the failure and queues the permission
    /// alert on the main loop. Never replaces an item, not even one that
    /// appears while the file is being written.
    void createTextFile(const FileURL& directory);
    /// Shows the alert asking for access to `directory` in the companion app.
    void showPermissionAlert(const FileURL& directory);
    /// Opens the targeted folder in Terminal.
    void openTerminalHere();
    /// Opens the targeted folder in iTerm2.
    void openITermHere();
    /// A launcher: opens a folder in one terminal application.
    using Launcher = void (FinderSync::*)(const FileURL& folder);
    /// Hands the targeted folder to `launcher`; logs when there is none.
    void runWithTargetDirectory(Launcher launcher);
    /// Opens `folder` with Terminal, not waiting for the outcome.
    void launchTerminal(const FileURL& folder);
    /// Opens `folder` with iTerm2, not waiting for the outcome.
    void launchITerm(const FileURL& folder);
    /// Puts the selection's paths (else the targeted folder's) on the
    /// pasteboard, one per line; with neither the pasteboard is left alone.
    void copyPath();
    /// Opens the selection (else the targeted folder) in Visual Studio Code;
    /// every failure becomes a feedback record to the companion app.
    void openInVSCode();
    /// Posts one error feedback record with `message` on
    /// `openInVSCodeNotificationName()`.
    void postVSCodeFeedback(std::string_view message);
    /// Asks the companion app to show or hide hidden files.
    void toggleHiddenFiles();

    // Batch rename.
    /// Hands the selected items' paths to the companion app, as a
    /// notification and then as the request record; fewer than two items get
    /// the error message on both channels instead.
    void batchRenameItems();
    /// Posts `message` as the request notification's error form, then stores
    /// it as an error record.
    void postBatchRenameError(std::string_view message);
    /// Stores the request record, with a fresh id, in the shared settings
    /// suite; nothing when the suite cannot be opened.
    void writeBatchRenameRequest(const std::vector<std::string>& paths, BatchRenameRequestForm form,
                                 std::string_view message);
    /// Renames `items` (see `RenameEngine::rename`) inside the secured
    /// directories' access, as `securedURLs()` lists them now.
    BatchRenameOutcome performBatchRename(std::span<const FileURL> items, std::string_view baseName,
                                          std::int64_t startNumber);
    /// `folder` with the first free of `name` and its numbered variants.
    FileURL uniqueDestinationURL(const FileURL& folder, std::string_view name);
    /// Carries out an execute notification's request, then posts and stores
    /// the result; a malformed request is dropped silently.
    void handleBatchRenameExecute(const Notification& notification);
    /// Replaces the poll timer with a new one that calls
    /// `checkPendingBatchRenameExecute` every 0.5 seconds for as long as the
    /// object exists.
    void startBatchRenameExecuteTimer();
    /// One tick: carries out a stored execute record not taken up before,
    /// stores the result and removes that record unless it was replaced
    /// meanwhile.
    void checkPendingBatchRenameExecute();
    /// Stores the result record, with a fresh id, in the shared settings
    /// suite; nothing when the suite cannot be opened.
    void writeBatchRenameResult(std::int64_t successCount,
                                const std::vector<std::string>& failures);

  private:
    /// Reloads the secured directories and the menu options, then renames
    /// the request's items.
    BatchRenameOutcome executeBatchRename(const ExecuteRequest& request);

    FinderSyncServices services_;
    MenuOptionsStore menuOptionsStore_;
    RenameEngine renameEngine_;
    std::optional<NotificationCenter::ObserverId> executeObserver_;
    std::vector<FileURL> securedURLs_;
    std::unique_ptr<Timer> batchRenameExecuteTimer_;
    std::optional<std::string> lastBatchRenameExecuteId_;
    MenuOptions menuOptions_;
};

} // namespace corvane
