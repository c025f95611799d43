#pragma once

// A test fixture that builds every service for a FinderSync object: fakes
// recording into one call log, the real POSIX file manager on a temporary
// folder, the real table of symbol images, and a string stream as the log.

#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/plist/plist_codec.h"
#include "tests/fakes/fakes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::fakes {

class FinderSyncFixture : public ::testing::Test {
  protected:
    FinderSyncFixture() { containers.setContainer(temp.makeFolder("container")); }

    /// Creates the object (running its start-up) and keeps it in `finderSync`.
    FinderSync& makeFinderSync() {
        finderSync = std::make_unique<FinderSync>(
            FinderSyncServices{controller, settings, containers, files, security, notifications,
                               scheduler, uuids, images, log, workspace, pasteboard, alerts});
        return *finderSync;
    }

    /// Stores `value` under `key` in the shared settings suite.
    void setSharedValue(std::string key, PlistValue value) {
        settings.store(contract::kAppGroupId).set(std::move(key), std::move(value));
    }

    /// The value under `key` in the shared settings suite, or none.
    std::optional<PlistValue> sharedValue(std::string_view key) {
        const PlistValue* value = settings.store(contract::kAppGroupId).find(key);
        return value ? std::optional(*value) : std::nullopt;
    }

    /// Makes `folder` a granted folder: a bookmark that resolves to it, added
    /// under `key` to the suite's bookmark map.
    void grantFolder(const std::string& key, const FileURL& folder, bool stale = false) {
        security.addBookmark("bookmark:" + key, folder, stale);
        addBookmarkValue(key, PlistData{"bookmark:" + key});
    }

    /// Adds any value (a string, say) to the suite's bookmark map.
    void addBookmarkValue(const std::string& key, PlistValue value) {
        bookmarks.set(key, std::move(value));
        setSharedValue(std::string(contract::kSecuredDirectoriesKey), bookmarks);
    }

    /// Writes "MenuOptions.plist" into the container as an XML property list.
    void writeOptionsFile(const PlistValue& root) {
        auto bytes = plist::writeXml(root);
        ASSERT_TRUE(bytes.has_value()) << bytes.error().description;
        temp.writeFile("container/" + std::string(contract::kMenuOptionsFileName), *bytes);
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
        std::ranges::copy_if(
            calls, std::back_inserter(picked), [prefixes](const std::string& call) {
                return std::ranges::any_of(prefixes,
                                           [&](auto prefix) { return call.starts_with(prefix); });
            });
        return picked;
    }

    /// The index of the first recorded call that starts with `prefix`, or the
    /// number of calls when there is none.
    std::ptrdiff_t firstCall(std::string_view prefix) const {
        return std::ranges::find_if(
                   calls, [prefix](const std::string& call) { return call.starts_with(prefix); }) -
               calls.begin();
    }

    /// The user info of every notification posted, each checked to be named `name`.
    std::vector<PlistDictionary> postedUserInfo(std::string_view name) const {
        std::vector<PlistDictionary> infos;
        for (const Notification& posted : notifications.posted()) {
            EXPECT_EQ(posted.name, name);
            infos.push_back(posted.userInfo);
        }
        return infos;
    }

    /// Forgets the log text and the recorded calls so far.
    void clearRecords() {
        log.str("");
        calls.clear();
    }

    testing::TempDir temp;
    CallLog calls;
    std::ostringstream log;
    FakeFinderSyncController controller{&calls};
    FakeSettingsProvider settings{&calls};
    FakeAppGroupContainers containers{&calls};
    RecordingFileManager files{&calls};
    FakeSecurityScope security{&calls};
    FakeNotificationCenter notifications{&calls};
    FakeScheduler scheduler{&calls};
    FakeUUIDSource uuids;
    FreedesktopSystemImages images;
    FakeWorkspace workspace{&calls};
    FakePasteboard pasteboard{&calls};
    FakeAlertPresenter alerts{&calls};
    PlistDictionary bookmarks;
    std::unique_ptr<FinderSync> finderSync;
};

} // namespace corvane::fakes
