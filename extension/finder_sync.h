#pragma once

#include "extension/batchrename/batch_rename_request.h"
#include "extension/batchrename/rename_engine.h"
#include "extension/companion_contract.h" // the names the object is known by, for its callers
#include "extension/settings/menu_options.h"
#include "extension/settings/menu_options_store.h"
#include "platform/error.h"
#include "platform/file_url.h"
#include "platform/menu.h"
#include "platform/notification_center.h"
#include "platform/scheduler.h"

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

class AlertPresenter;
class AppGroupContainers;
struct ExecuteRequest;
class FileManager;
class FinderSyncController;
class Pasteboard;
class SecurityScope;
class SettingsProvider;
class SystemImages;
struct TerminalApplication;
class UUIDSource;
class Workspace;

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

    /// The context menu for a request of the file manager, or none while the
    /// companion app is not running. The menu kind does not change the menu.
    std::optional<Menu> menuForMenuKind(unsigned menuKind);

    /// True when `selector` (such as "createNewTextFile:") names an action of
    /// this object.
    bool respondsToSelector(std::string_view selector) const;
    /// Runs the action named by `selector`; false when there is no such action.
    bool performAction(std::string_view selector);

    // The state the steps below leave, for reading.

    /// The secured directories, each with its access open.
    const std::vector<FileURL>& securedURLs() const { return securedURLs_; }
    /// The menu options as the last load left them.
    const MenuOptions& menuOptions() const { return menuOptions_; }
    /// The id of the last execute record taken up, or none.
    const std::optional<std::string>& lastBatchRenameExecuteId() const {
        return lastBatchRenameExecuteId_;
    }

  private:
    // Secured directories.
    /// Ends the access of every listed folder, then lists afresh the granted
    /// folders of the companion app's bookmark map whose access starts.
    void loadSecuredURLs();
    /// True when `path` lies inside one of `securedURLs()`, compared character
    /// by character.
    bool isInsideSecuredDirectory(std::string_view path) const;

    // Menu options.
    /// Replaces `menuOptions()` from the options file, else the shared
    /// settings, else the defaults, and logs which source was used.
    void loadMenuOptions();

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
    /// Opens `folder` with `terminal`, not waiting for the outcome.
    void openInTerminal(const TerminalApplication& terminal, const FileURL& folder);
    /// Puts the selection's paths (else the targeted folder's) on the
    /// pasteboard, one per line; with neither the pasteboard is left alone.
    void copyPath();
    /// Opens the selection (else the targeted folder) in Visual Studio Code;
    /// every failure becomes a feedback record to the companion app.
    void openInVSCode();
    /// Posts one error feedback record with `message` to the companion app.
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
    /// suite; nothing when the suite cannot be opened. When it cannot be
    /// stored, the previous record is removed, so the companion app never
    /// takes an older request for this one; when that fails too, the error
    /// feedback record tells it the request did not arrive.
    void writeBatchRenameRequest(const std::vector<std::string>& paths, BatchRenameRequestForm form,
                                 std::string_view message);
    /// Renames `items` (see `RenameEngine::rename`) inside the secured
    /// directories' access, as `securedURLs()` lists them now.
    BatchRenameOutcome performBatchRename(std::span<const FileURL> items, std::string_view baseName,
                                          std::int64_t startNumber);
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
    /// suite; nothing when the suite cannot be opened. A failed write is
    /// logged and returned.
    Expected<void> writeBatchRenameResult(std::int64_t successCount,
                                          const std::vector<std::string>& failures);
    /// Stores `record` under `key` in the shared settings suite; nothing when
    /// the suite cannot be opened.
    Expected<void> storeRecord(std::string_view key, const PlistDictionary& record);
    /// `task`, made to do nothing once this object is gone: for work that
    /// runs later, from the main queue or a completion handler.
    template <class Task> auto whileAlive(Task task) {
        return [alive = std::weak_ptr<void>(lifetime_), task = std::move(task)](auto&&... args) {
            if (!alive.expired())
                task(std::forward<decltype(args)>(args)...);
        };
    }
    /// Reloads the secured directories and the menu options, then renames
    /// the request's items.
    BatchRenameOutcome executeBatchRename(const ExecuteRequest& request);

    FinderSyncServices services_;
    MenuOptionsStore menuOptionsStore_;
    RenameEngine renameEngine_;
    std::optional<NotificationCenter::ObserverId> executeObserver_;
    std::vector<FileURL> securedURLs_;
    /// The inside rule over `securedURLs_`, made at each load.
    SecuredFolderRule securedRule_;
    std::unique_ptr<Timer> batchRenameExecuteTimer_;
    std::optional<std::string> lastBatchRenameExecuteId_;
    /// An execute record carried out whose removal failed: it is not carried
    /// out again while it stays stored, only its removal is tried again.
    std::optional<PlistDictionary> unremovedExecuteRecord_;
    MenuOptions menuOptions_;
    /// Expires with the object; see `whileAlive`.
    std::shared_ptr<void> lifetime_ = std::make_shared<int>(0);
};

} // namespace corvane
