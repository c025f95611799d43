// The Finder actions: new text file, terminal launch, copy path, open in
// Visual Studio Code, hidden files toggle.

#include "extension/actions/copy_path.h"
#include "extension/actions/new_text_file.h"
#include "extension/actions/open_in_vscode.h"
#include "extension/actions/terminal_launch.h"
#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "platform/file_manager.h"
#include "platform/finder_sync_controller.h"
#include "platform/log.h"

#include <system_error>

namespace corvane {

namespace {

// A name taken by someone else while we wrote is skipped; past this many such
// races in a row the write counts as failed rather than chase names forever.
constexpr int kMaxNameRaces = 100;

bool isNameTaken(const Error& error) {
    return error.code == static_cast<int>(std::errc::file_exists);
}

} // namespace

void FinderSync::createNewTextFile() {
    std::optional<FileURL> target = services_.controller.targetedURL();
    if (!target) {
        logLine(services_.log, kNoTargetDirectoryLine);
        return;
    }
    createTextFile(*target);
}

void FinderSync::createTextFile(const FileURL& directory) {
    auto exists = [this](std::string_view path) { return services_.files.fileExists(path); };
    UntitledFile file = firstFreeUntitledFile(directory, exists);
    withSecurityScopedAccess(directory, [&] {
        // Written with refusal to replace, so an item that takes the name
        // between the test above and the write is never overwritten.
        Expected<void> written = services_.files.createFileAtomically(file.url, "");
        for (int races = 0; !written && isNameTaken(written.error()) && races < kMaxNameRaces;
             ++races) {
            file = firstFreeUntitledFile(directory, exists, file.number + 1);
            written = services_.files.createFileAtomically(file.url, "");
        }
        if (!written) {
            logLine(services_.log,
                    std::string(kCreateFileFailedLinePrefix) + written.error().description);
            services_.scheduler.postToMainQueue(
                [this, directory] { showPermissionAlert(directory); });
            return;
        }
        logLine(services_.log, std::string(kCreatedFileLinePrefix) + file.url.path());
        services_.workspace.selectFile(file.url.path(), directory.path());
    });
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
    FileURL application =
        chooseTerminalApplication(kTerminalApplication, [this](std::string_view path) {
            return services_.files.fileExists(path);
        });
    services_.workspace.openURLs({folder}, application, nullptr);
}

void FinderSync::launchITerm(const FileURL& folder) {
    FileURL application =
        chooseTerminalApplication(kITermApplication, [this](std::string_view path) {
            return services_.files.fileExists(path);
        });
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
    services_.workspace.openURLs(items, *application, [this](Expected<void> opened) {
        if (!opened)
            postVSCodeFeedback(std::string(kVSCodeOpenFailedPrefix) + opened.error().description);
    });
}

void FinderSync::postVSCodeFeedback(std::string_view message) {
    services_.notifications.post(openInVSCodeNotificationName(),
                                 contract::errorFeedbackRecord(std::string(message)));
}

void FinderSync::toggleHiddenFiles() {
    services_.notifications.post(hiddenFilesToggleNotificationName(), {});
}

} // namespace corvane
