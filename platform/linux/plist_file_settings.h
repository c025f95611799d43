#pragma once

#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file.h"
#include "platform/settings.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace corvane {

/// One settings suite kept as a binary property list, `<folder>/<suite>.plist`.
///
/// Reads come from a snapshot taken when the suite is opened and at each
/// `synchronize`, through a `PlistFileCache`: an unchanged file is not read
/// again. A missing file is an empty suite; a file that cannot be read or
/// parsed, or whose root is not a dictionary, reads as empty as well.
///
/// Each write holds an exclusive flock on `<suite>.plist.lock` (the data file
/// itself is replaced by rename, so it cannot carry the lock; a write that
/// cannot take it within the lock wait fails), re-reads the
/// file, applies the change, writes a temporary file in the same folder,
/// fsyncs it and renames it into place. Writers in other processes therefore
/// never lose each other's keys, and a writer killed at any moment leaves the
/// previous or the new file, never a torn one. A file found unreadable at a
/// write is kept as `<suite>.plist.unreadable-<UTC time>` before it is replaced.
class PlistFileSettingsSuite : public SettingsSuite {
  public:
    /// How long a write waits for another process's lock, by default: well
    /// under what a file manager waits for a menu, since a main loop waits
    /// with it.
    static constexpr std::chrono::milliseconds kDefaultLockWait{100};

    /// The suite stored at `filePath`, read through `files`; takes the first
    /// snapshot. The suite keeps `files` alive: it may outlive its provider.
    PlistFileSettingsSuite(std::string filePath, std::shared_ptr<PlistFileCache> files,
                           std::chrono::milliseconds lockWait = kDefaultLockWait);

    std::optional<PlistValue> objectForKey(std::string_view key) const override;
    Expected<void> setObject(const PlistValue& value, std::string_view key) override;
    Expected<void> removeObject(std::string_view key) override;
    /// `change` runs while this process holds the lock described above.
    Expected<void> modifyObject(std::string_view key, const Modification& change) override;
    /// False when the file exists but could not be read or parsed; the
    /// snapshot is then empty.
    bool synchronize() override;

    const std::string& filePath() const { return filePath_; }
    /// What the file was found to be at the last read (an item that could
    /// not be read counts as `Unreadable`), or `Good` after a write.
    PlistFileState fileState() const { return fileState_; }

  private:
    /// Runs `change` on the file's current root under the lock and writes
    /// the root back when `change` says it changed.
    template <typename Change> Expected<void> update(Change&& change);

    std::string filePath_;
    std::shared_ptr<PlistFileCache> files_;
    std::chrono::milliseconds lockWait_;
    std::shared_ptr<const PlistDictionary> snapshot_;
    PlistFileState fileState_ = PlistFileState::Missing;
};

/// Opens suites in App Group containers: the suite named `S` lives in the
/// container of the App Group `S`, at `Library/Preferences/S.plist`.
///
/// The folders are made when a suite is first opened, and again whenever a
/// suite's file is not found good, since they may have gone with it.
class PlistFileSettingsProvider : public SettingsProvider {
  public:
    /// Suites read through `files`, which their other readers may share,
    /// whose writes wait at most `lockWait` for another process's lock.
    PlistFileSettingsProvider(
        DirectoryAppGroupContainers& containers, std::shared_ptr<PlistFileCache> files,
        std::chrono::milliseconds lockWait = PlistFileSettingsSuite::kDefaultLockWait)
        : containers_(containers), files_(std::move(files)), lockWait_(lockWait) {}

    /// None when the container is unavailable or its Library/Preferences
    /// folder cannot be made.
    std::unique_ptr<SettingsSuite> openSuite(std::string_view suiteName) override;
    /// Where the suite's file is (it need not exist), once its folders are
    /// made; none as for `openSuite`.
    std::optional<std::string> suiteFilePath(std::string_view suiteName) {
        return suiteFile(suiteName, Recheck::No);
    }

  private:
    /// Whether folders made before may be taken as still there.
    enum class Recheck { No, Yes };
    /// The path of the suite's file, once its folders are made.
    std::optional<std::string> suiteFile(std::string_view suiteName, Recheck recheck);

    DirectoryAppGroupContainers& containers_;
    std::shared_ptr<PlistFileCache> files_;
    std::chrono::milliseconds lockWait_;
};

} // namespace corvane
