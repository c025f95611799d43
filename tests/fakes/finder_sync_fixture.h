#pragma once

// A test fixture that builds every service for a FinderSync object: fakes
// where the service has no real counterpart here, the real POSIX file manager
// on a temporary folder, and a string stream as the log.

#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "platform/linux/plist_codec.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/fakes/fakes.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::fakes {

class FinderSyncFixture : public ::testing::Test {
  protected:
    FinderSyncFixture() { containers.setContainer(temp.makeFolder("container")); }

    /// The services, all owned by the fixture.
    FinderSyncServices services() {
        return FinderSyncServices{controller,    settings,  containers, files,  security,
                                  notifications, scheduler, uuids,      images, log};
    }

    /// Creates the object (running its start-up) and keeps it in `finderSync`.
    FinderSync& makeFinderSync() {
        finderSync = std::make_unique<FinderSync>(services());
        return *finderSync;
    }

    /// The App Group container folder the fake reports (it exists).
    FileURL containerFolder() const { return temp.url().appending("container"); }
    FileURL menuOptionsFile() const {
        return containerFolder().appending(contract::kMenuOptionsFileName);
    }

    /// Stores `value` under `key` in the shared settings suite.
    void setSharedValue(std::string key, PlistValue value) {
        settings.setValue(contract::kAppGroupId, std::move(key), std::move(value));
    }

    /// Makes `folder` a granted folder: a bookmark that resolves to it, stored
    /// under `key` in the suite's bookmark map (appended to the map).
    void grantFolder(const std::string& key, const FileURL& folder, bool stale = false) {
        std::string data = "bookmark:" + key;
        security.addBookmark(data, folder, stale);
        addBookmarkValue(key, PlistData{data});
    }

    /// A granted folder whose bookmark fails to resolve with `description`.
    void grantBrokenFolder(const std::string& key, std::string description) {
        std::string data = "broken:" + key;
        security.addBrokenBookmark(data, std::move(description));
        addBookmarkValue(key, PlistData{data});
    }

    /// Adds any value (a string, say) to the suite's bookmark map.
    void addBookmarkValue(const std::string& key, PlistValue value) {
        PlistDictionary& store = settings.store(contract::kAppGroupId);
        PlistValue* map = store.find(contract::kSecuredDirectoriesKey);
        if (!map || !map->isDictionary()) {
            store.set(std::string(contract::kSecuredDirectoriesKey), PlistDictionary{});
            map = store.find(contract::kSecuredDirectoriesKey);
        }
        map->asDictionary().set(key, std::move(value));
    }

    /// Writes "MenuOptions.plist" into the container as an XML property list.
    void writeOptionsFile(const PlistValue& root) {
        auto bytes = plist::writeXml(root);
        ASSERT_TRUE(bytes.has_value()) << bytes.error().description;
        temp.writeFile("container/" + std::string(contract::kMenuOptionsFileName), *bytes);
    }

    std::vector<std::string> logLines() const { return splitLines(log.str()); }

    /// Forgets the log text and the recorded calls so far.
    void clearRecords() {
        log.str("");
        calls.clear();
    }

    TemporaryDirectory temp;
    CallLog calls;
    std::ostringstream log;
    FakeFinderSyncController controller{&calls};
    FakeSettingsProvider settings{&calls};
    FakeAppGroupContainers containers{std::nullopt, &calls};
    PosixFileManager realFiles;
    RecordingFileManager files{realFiles, &calls};
    FakeSecurityScope security{&calls};
    FakeNotificationCenter notifications{&calls};
    FakeScheduler scheduler{&calls};
    FakeUUIDSource uuids;
    FakeSystemImages images;
    std::unique_ptr<FinderSync> finderSync;
};

} // namespace corvane::fakes
