#pragma once

#include "platform/error.h"
#include "platform/linux/file_identity_cache.h"
#include "platform/plist_value.h"

#include <cstddef>
#include <memory>
#include <string>

namespace corvane {

/// Largest property-list file we read; anything bigger is refused rather
/// than loaded into memory.
inline constexpr std::size_t kMaxPropertyListFileSize = std::size_t{64} << 20;

/// What a property-list file was found to hold.
enum class PlistFileState {
    /// Nothing at the path.
    Missing,
    /// An item that holds no dictionary we can use: not a property list, a
    /// root that is not a dictionary, larger than `kMaxPropertyListFileSize`,
    /// or not a regular file.
    Unreadable,
    /// A property list with a dictionary at its root.
    Good,
};

/// A property-list file as read: its state, and its root when `Good` (else empty).
struct PlistFile {
    PlistFileState state = PlistFileState::Missing;
    PlistDictionary root;
};

/// Reads the property list (XML or binary) at `path`, expecting a dictionary
/// at its root. Fails only when an item is there that cannot be opened or
/// read (a folder, no permission, an I/O error) or the path holds a NUL byte:
/// the item may then hold good data nobody can see, so a writer must leave it
/// alone, whereas an `Unreadable` one may be set aside and replaced.
Expected<PlistFile> readPlistFile(const std::string& path);

/// A property-list file as read through a `PlistFileCache`: its root is
/// shared and never changes, so holding on to it costs no copy.
struct SharedPlistFile {
    PlistFileState state = PlistFileState::Missing;
    /// Never null; empty unless `state` is `Good`.
    std::shared_ptr<const PlistDictionary> root;
};

/// Property-list files read once and reused while they stay unchanged (see
/// `FileIdentityCache`: writers replace these files by rename, and any change
/// gives a file a new `posix::FileIdentity`): a file read again and again
/// costs one `stat` instead of a read and a parse. One thread uses a cache
/// and everything that reads through it (in the extension process, the main
/// loop's).
///
/// Of the files larger than `kMaxKeptSize`, only the last one read is kept,
/// and the memory of content from a file of `kGiveBackAbove` bytes or more
/// goes back to the system when its last holder drops it.
class PlistFileCache {
  public:
    static constexpr std::size_t kDefaultCapacity = 8;
    static constexpr std::size_t kMaxKeptSize = std::size_t{8} << 20;
    static constexpr std::size_t kGiveBackAbove = std::size_t{1} << 20;

    explicit PlistFileCache(std::size_t capacity = kDefaultCapacity, ChangeWatch* watch = nullptr);

    /// What `readPlistFile(path)` gives now: the same states and failures.
    Expected<SharedPlistFile> read(const std::string& path);

  private:
    FileIdentityCache<SharedPlistFile> kept_;
    std::string largeKept_;
    std::shared_ptr<const PlistDictionary> empty_;
};

} // namespace corvane
