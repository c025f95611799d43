#pragma once

// A test fixture that builds every service for a FinderSync object: fakes
// recording into one call log, the real POSIX file manager on a temporary
// folder, the real table of symbol images, the pasteboard's fallback file,
// and a string stream as the log.

#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "host/host_finder_sync_controller.h"
#include "platform/linux/desktop_clipboard.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/plist/plist_codec.h"
#include "tests/fakes/fake_alert_presenter.h"
#include "tests/fakes/fake_app_group_containers.h"
#include "tests/fakes/fake_notification_center.h"
#include "tests/fakes/fake_scheduler.h"
#include "tests/fakes/fake_security_scope.h"
#include "tests/fakes/fake_uuid_source.h"
#include "tests/fakes/fake_workspace.h"
#include "tests/fakes/recording_file_manager.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::fakes {

class FinderSyncFixture : public ::testing::Test {
  protected:
    /// The applications the extension looks for.
    static inline const std::string kSystemTerminal = "/System/Applications/Utilities/Terminal.app",
                                    kTerminal = "/Applications/Utilities/Terminal.app",
                                    kITerm = "/Applications/iTerm.app",
                                    kITerm2 = "/Applications/iTerm 2.app",
                                    kVSCode = "/Applications/Visual Studio Code.app",
                                    kInsiders = "/Applications/Visual Studio Code - Insiders.app";

    FinderSyncFixture() { containers.container = temp.makeFolder("container"); }

    /// Creates the object (running its start-up) and keeps it in `finderSync`.
    void makeFinderSync() {
        finderSync = std::make_unique<FinderSync>(
            FinderSyncServices{controller, settings, containers, files, security, notifications,
                               scheduler, uuids, images, log, workspace, pasteboard, alerts});
    }

    /// Stores or removes `key` in the shared settings suite, as the companion app does.
    void share(std::string_view key, const PlistValue& value) {
        ASSERT_TRUE(settings.openSuite(contract::kAppGroupId)->setObject(value, key));
    }
    void unshare(std::string_view key) {
        ASSERT_TRUE(settings.openSuite(contract::kAppGroupId)->removeObject(key));
    }
    /// The value under `key` in the shared settings suite, or none.
    std::optional<PlistValue> sharedValue(std::string_view key) {
        return settings.openSuite(contract::kAppGroupId)->objectForKey(key);
    }
    /// Puts a regular file where the suites' folder is, or takes it away again.
    void setSuitesAvailable(bool available) {
        namespace fs = std::filesystem;
        fs::create_directories(temp / (available ? "suites-away" : "suites"));
        fs::remove(temp / (available ? "suites" : "suites-away"));
        fs::rename(temp / (available ? "suites-away" : "suites"),
                   temp / (available ? "suites" : "suites-away"));
        if (!available)
            temp.writeFile("suites", "");
    }

    /// Adds `value` under `key` to the suite's bookmark map: by default a
    /// bookmark that resolves to `folder` (reported stale when `stale`).
    void grantFolder(const std::string& key, const FileURL& folder, bool stale = false) {
        security.bookmarks.insert_or_assign(key, SecurityScope::Resolved{folder, stale});
        addBookmark(key, PlistData{key});
    }
    void addBookmark(const std::string& key, PlistValue value) {
        bookmarks.set(key, std::move(value));
        share(contract::kSecuredDirectoriesKey, bookmarks);
    }

    /// Of the applications the extension looks for, only `apps` exist.
    void installOnly(const std::vector<std::string>& apps) {
        for (const std::string& app :
             {kSystemTerminal, kTerminal, kITerm, kITerm2, kVSCode, kInsiders})
            files.exists[app] = std::ranges::count(apps, app) > 0;
    }

    /// Writes "MenuOptions.plist" into the container as an XML property list.
    void writeOptionsFile(const PlistValue& root) {
        temp.writeFile("container/" + std::string(contract::kMenuOptionsFileName),
                       plist::writeXml(root).value());
    }

    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::istringstream in(log.str());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    /// The recorded calls that start with one of `prefixes`, in order.
    CallLog callsStartingWith(std::initializer_list<std::string_view> prefixes) const {
        CallLog picked;
        std::ranges::copy_if(calls, std::back_inserter(picked), [&](const std::string& call) {
            return std::ranges::any_of(prefixes,
                                       [&](auto prefix) { return call.starts_with(prefix); });
        });
        return picked;
    }

    /// Forgets the log text and the recorded calls so far.
    void clearRecords() {
        log.str("");
        calls.clear();
    }

    testing::TempDir temp;
    CallLog calls;
    std::ostringstream log;
    HostFinderSyncController controller;
    DirectoryAppGroupContainers suites{temp / "suites"};
    PlistFileSettingsProvider settings{suites, std::make_shared<PlistFileCache>()};
    FakeAppGroupContainers containers;
    RecordingFileManager files{&calls};
    FakeSecurityScope security{&calls};
    FakeNotificationCenter notifications{&calls};
    FakeScheduler scheduler{&calls};
    FakeUUIDSource uuids;
    FreedesktopSystemImages images;
    FakeWorkspace workspace{&calls};
    DesktopClipboard pasteboard{{DesktopClipboard::Mechanism::File, temp / "pasteboard"}};
    FakeAlertPresenter alerts{&calls};
    PlistDictionary bookmarks;
    std::unique_ptr<FinderSync> finderSync;
};

} // namespace corvane::fakes
