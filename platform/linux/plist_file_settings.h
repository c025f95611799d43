#pragma once

#include "platform/app_group.h"
#include "platform/linux/plist_file.h"
#include "platform/settings.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace corvane {

/// One settings suite kept as a binary property list, `<folder>/<suite>.plist`.
///
/// Reads come from a snapshot taken when the suite is opened and at each
/// `synchronize`. A missing file is an empty suite; a file that cannot be read
/// or parsed, or whose root is not a dictionary, reads as empty as well.
///
/// Each write holds an exclusive flock on `<suite>.plist.lock` (the data file
/// itself is replaced by rename, so it cannot carry the lock), re-reads the
/// file, applies the change, writes a temporary file in the same folder,
/// fsyncs it and renames it into place. Writers in other processes therefore
/// never lose each other's keys, and a writer killed at any moment leaves the
/// previous or the new file, never a torn one. A file found unreadable at a
/// write is kept as `<suite>.plist.unreadable-<UTC time>` before it is replaced.
class PlistFileSettingsSuite : public SettingsSuite {
  public:
    /// The suite stored at `filePath`; takes the first snapshot.
    explicit PlistFileSettingsSuite(std::string filePath);
    /// The suite stored at `filePath`, whose file was just read as `file`.
    PlistFileSettingsSuite(std::string filePath, PlistFile file);

    std::optional<PlistValue> objectForKey(std::string_view key) const override;
    Expected<void> setObject(const PlistValue& value, std::string_view key) override;
    Expected<void> removeObject(std::string_view key) override;
    /// `change` runs while this process holds the lock described above.
    Expected<void> modifyObject(std::string_view key, const Modification& change) override;
    /// False when the file exists but could not be read or parsed; the
    /// snapshot is then empty.
    bool synchronize() override;

    const std::string& filePath() const { return filePath_; }

  private:
    /// Runs `change` on the file's current root under the lock and writes
    /// the root back when `change` says it changed.
    template <typename Change> Expected<void> update(Change&& change);

    std::string filePath_;
    std::string folder_;
    std::string fileName_;
    PlistDictionary snapshot_;
};

/// Opens suites in App Group containers: the suite named `S` lives in the
/// container of the App Group `S`, at `Library/Preferences/S.plist`.
class PlistFileSettingsProvider : public SettingsProvider {
  public:
    explicit PlistFileSettingsProvider(AppGroupContainers& containers) : containers_(containers) {}

    /// None when the container is unavailable or its Library/Preferences
    /// folder cannot be made. The file is read afresh each time; the path it
    /// was found at is remembered, and while a file is there the container
    /// is not asked again (the file proves it). Safe from any thread.
    std::unique_ptr<SettingsSuite> openSuite(std::string_view suiteName) override;

  private:
    AppGroupContainers& containers_;
    std::mutex mutex_;
    /// Suite name to the path of its file, once the container gave one.
    std::map<std::string, std::string, std::less<>> filePaths_;
};

} // namespace corvane
