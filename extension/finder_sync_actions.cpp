// The Finder actions: new text file, terminal launch, copy path, open in
// Visual Studio Code, hidden files toggle.

#include "extension/actions/copy_path.h"
#include "extension/actions/new_text_file.h"
#include "extension/actions/open_in_vscode.h"
#include "extension/actions/terminal_launch.h"
#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "extension/settings/secured_directories.h"
#include "platform/alert.h"
#include "platform/file_manager.h"
#include "platform/finder_sync_controller.h"
#include "platform/free_name.h"
#include "platform/log.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"

namespace corvane {

void FinderSync::createNewTextFile() {
    runWithTargetDirectory(&FinderSync::createTextFile);
}

void FinderSync::createTextFile(const FileURL& directory) {
    auto nameAt = [&](std::int64_t n) { return directory.appending(untitledFileName(n)); };
    auto exists = [this](const FileURL& url) { return services_.files.fileExists(url.path()); };
    const std::int64_t free = firstFreeNumber(nameAt, exists);
    ScopedSecurityAccess access(services_.security, directory,
                                isInsideSecuredDirectory(directory.path()));
    // Written with refusal to replace, so an item that takes the name between
    // the look above and the write is never overwritten.
    Expected<std::int64_t> written = takeFreeName(
        nameAt, exists,
        [this](const FileURL& url) { return services_.files.createFileAtomically(url, ""); }, free);
    if (!written) {
        logLine(services_.log,
                std::string(kCreateFileFailedLinePrefix) + written.error().description);
        services_.scheduler.postToMainQueue(
            whileAlive([this, directory] { showPermissionAlert(directory); }));
        return;
    }
    const FileURL file = nameAt(*written);
    logLine(services_.log, std::string(kCreatedFileLinePrefix) + file.path());
    services_.workspace.selectFile(file.path(), directory.path());
}

void FinderSync::showPermissionAlert(const FileURL& directory) {
    services_.alerts.runModal(permissionAlert(directory.lastPathComponent()));
}

void FinderSync::openTerminalHere() {
    runWithTargetDirectory(&FinderSync::launchTerminal);
}

void FinderSync::openITermHere() {
    runWithTargetDirectory(&FinderSync::launchITerm);
}

void FinderSync::runWithTargetDirectory(Launcher launcher) {
    std::optional<FileURL> target = services_.controller.targetedURL();
    if (!target) {
        logLine(services_.log, kNoTargetDirectoryLine);
        return;
    }
    (this->*launcher)(*target);
}

void FinderSync::launchTerminal(const FileURL& folder) {
    openInTerminal(kTerminalApplication, folder);
}

void FinderSync::launchITerm(const FileURL& folder) {
    openInTerminal(kITermApplication, folder);
}

void FinderSync::openInTerminal(const TerminalApplication& terminal, const FileURL& folder) {
    FileURL application = chooseTerminalApplication(
        terminal, [this](std::string_view path) { return services_.files.fileExists(path); });
    services_.workspace.openURLs({folder}, application, nullptr);
}

void FinderSync::copyPath() {
    std::string text;
    if (std::vector<FileURL> selected = services_.controller.selectedItemURLs();
        !selected.empty()) {
        text = joinedPaths(selected);
    } else if (std::optional<FileURL> target = services_.controller.targetedURL()) {
        text = target->path();
    } else {
        return;
    }
    // The pasteboard's answers are not looked at: a copy reports nothing.
    (void)services_.pasteboard.clearContents();
    (void)services_.pasteboard.setString(text);
}

void FinderSync::openInVSCode() {
    std::optional<FileURL> application = locateVSCodeApp();
    if (!application) {
        postVSCodeFeedback(kVSCodeNotInstalledMessage);
        return;
    }
    std::vector<FileURL> items = services_.controller.selectedItemURLs();
    if (items.empty()) {
        std::optional<FileURL> target = services_.controller.targetedURL();
        if (!target) {
            postVSCodeFeedback(kVSCodeNothingToOpenMessage);
            return;
        }
        items.push_back(*target);
    }
    services_.workspace.openURLs(items, *application, whileAlive([this](Expected<void> opened) {
                                     if (!opened)
                                         postVSCodeFeedback(std::string(kVSCodeOpenFailedPrefix) +
                                                            opened.error().description);
                                 }));
}

void FinderSync::postVSCodeFeedback(std::string_view message) {
    services_.notifications.post(contract::kOpenInVSCodeNotification,
                                 contract::errorFeedbackRecord(std::string(message)));
}

void FinderSync::toggleHiddenFiles() {
    services_.notifications.post(contract::kHiddenFilesToggleNotification, {});
}

} // namespace corvane
