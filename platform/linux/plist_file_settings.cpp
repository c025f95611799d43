#include "platform/linux/plist_file_settings.h"

#include "platform/free_name.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <dirent.h>
#include <expected>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace corvane {

namespace {

std::string utcTimestamp() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

/// Renames an unreadable suite file out of the way, never over an earlier one.
Expected<void> keepUnreadableFile(const std::string& path) {
    const std::string base = path + ".unreadable-" + utcTimestamp();
    auto nameAt = [&](std::int64_t n) { return n == 1 ? base : base + "-" + std::to_string(n); };
    // The rename itself tells whether a name is taken.
    auto exists = [](const std::string&) { return false; };
    auto keep = [&](const std::string& kept) -> Expected<void> {
        auto moved = posix::renameNoReplace(path, kept);
        // Gone meanwhile: nothing is left to keep.
        if (!moved && moved.error().code == std::errc::no_such_file_or_directory)
            return {};
        return moved;
    };
    if (auto kept = takeFreeName(nameAt, exists, keep, 1); !kept)
        return std::unexpected(kept.error());
    return {};
}

/// Takes an exclusive flock on `fd`, waiting at most `limit`: a process
/// stopped while it held the lock must not stop this one. The errno of the
/// failure, EWOULDBLOCK when the lock stayed taken.
std::expected<void, int> lockWithin(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::microseconds(200);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return std::unexpected(errno);
        if (std::chrono::steady_clock::now() >= deadline)
            return std::unexpected(EWOULDBLOCK);
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
    return {};
}

/// Temporary files are only ever present while their writer holds the lock;
/// any found by the lock holder were left by a writer that was killed.
void removeAbandonedTempFiles(const std::string& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name.starts_with(prefix))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

PlistFileSettingsSuite::PlistFileSettingsSuite(std::string filePath,
                                               std::shared_ptr<PlistFileCache> files,
                                               std::chrono::milliseconds lockWait)
    : filePath_(std::move(filePath)), files_(std::move(files)), lockWait_(lockWait) {
    synchronize();
}

std::optional<PlistValue> PlistFileSettingsSuite::objectForKey(std::string_view key) const {
    if (const PlistValue* value = snapshot_->find(key))
        return *value;
    return std::nullopt;
}

bool PlistFileSettingsSuite::synchronize() {
    auto loaded = files_->read(filePath_);
    if (!loaded) {
        snapshot_ = std::make_shared<const PlistDictionary>();
        fileState_ = PlistFileState::Unreadable;
        return false;
    }
    snapshot_ = std::move(loaded->root);
    fileState_ = loaded->state;
    return fileState_ != PlistFileState::Unreadable;
}

Expected<void> PlistFileSettingsSuite::setObject(const PlistValue& value, std::string_view key) {
    return update([&](PlistDictionary& root) {
        root.set(std::string(key), value);
        return Modified::Yes;
    });
}

Expected<void> PlistFileSettingsSuite::removeObject(std::string_view key) {
    return update([&](PlistDictionary& root) {
        root.remove(key);
        return Modified::Yes;
    });
}

Expected<void> PlistFileSettingsSuite::modifyObject(std::string_view key,
                                                    const Modification& change) {
    return update([&](PlistDictionary& root) { return applyModification(root, key, change); });
}

template <typename Change> Expected<void> PlistFileSettingsSuite::update(Change&& change) {
    const std::string lockPath = filePath_ + ".lock";
    posix::UniqueFd lock(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    if (!lock)
        return posix::systemError("Cannot open the settings lock " + lockPath, errno);
    if (auto locked = lockWithin(lock.get(), lockWait_); !locked)
        return posix::systemError("Cannot lock the settings file " + filePath_, locked.error());

    const FileURL file = FileURL::fromPath(filePath_);
    removeAbandonedTempFiles(file.parent().path(),
                             posix::atomicWriteTempPrefix(file.lastPathComponent()));

    // A file we cannot open may hold good settings: leave it and fail.
    auto loaded = readPlistFile(filePath_);
    if (!loaded)
        return std::unexpected(loaded.error());
    PlistDictionary root = std::move(loaded->root);
    if (change(root) == Modified::No) {
        // Nothing to write, but the suite now sees the file as it is.
        snapshot_ = std::make_shared<const PlistDictionary>(std::move(root));
        fileState_ = loaded->state;
        return {};
    }
    if (loaded->state == PlistFileState::Unreadable) {
        if (auto kept = keepUnreadableFile(filePath_); !kept)
            return std::unexpected(kept.error());
    }

    auto encoded = plist::writeBinary(PlistValue(root));
    if (!encoded)
        return makeError("Cannot store settings in " + filePath_ + ": " +
                             encoded.error().description,
                         encoded.error().code);

    if (auto written =
            posix::writeFileAtomically(filePath_, *encoded, 0600, posix::Replace::Existing);
        !written)
        return written;
    snapshot_ = std::make_shared<const PlistDictionary>(std::move(root));
    fileState_ = PlistFileState::Good;
    return {};
}

std::optional<std::string> PlistFileSettingsProvider::suiteFile(std::string_view suiteName,
                                                                Recheck recheck) {
    if (recheck == Recheck::Yes)
        containers_.containerMayBeGone(suiteName);
    auto preferences = containers_.folderInContainer(suiteName, "Library/Preferences");
    if (!preferences)
        return std::nullopt;
    return preferences->appending(std::string(suiteName) + ".plist").path();
}

std::unique_ptr<SettingsSuite> PlistFileSettingsProvider::openSuite(std::string_view suiteName) {
    auto path = suiteFile(suiteName, Recheck::No);
    if (!path)
        return nullptr;
    auto suite = std::make_unique<PlistFileSettingsSuite>(std::move(*path), files_, lockWait_);
    // No good file: the folders may have gone with it.
    if (suite->fileState() != PlistFileState::Good && !suiteFile(suiteName, Recheck::Yes))
        return nullptr;
    return suite;
}

} // namespace corvane
