#pragma once

#include "platform/error.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace corvane::posix {

/// An owned file descriptor, closed on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    void reset();

  private:
    int fd_ = -1;
};

/// `"<what>: <text of err>"`, carrying `err` as its code.
std::unexpected<Error> systemError(std::string_view what, int err);

/// True when `path` can be handed to a system call unchanged: not empty and
/// free of NUL bytes (which would silently cut it short).
bool isUsablePath(std::string_view path);

/// What tells one version of a file from another. Replacing a file, writing
/// it or touching its times changes at least the change time; only two
/// changes within one tick of the file-time clock can leave all of it alike.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    /// Nanoseconds since the epoch.
    std::int64_t changeTime = 0;
    std::int64_t modificationTime = 0;

    bool operator==(const FileIdentity&) const = default;
};

/// The identity of the item `path` names, links followed.
Expected<FileIdentity> fileIdentity(const std::string& path);

/// Now, in nanoseconds since the epoch, on the clock the kernel stamps file
/// times with: a change that begins after this moment gets a change time no
/// earlier than it, however far that clock's ticks lag the precise time.
std::int64_t fileClockNow();

/// How long before a look-up began an item must have last changed for what
/// the look-up found to be kept and trusted while the item's identity stays
/// the same. Two changes within one tick of the file-time clock can leave the
/// identity alike (as with "racily clean" entries of a version-control
/// index); the clock's ticks are milliseconds apart, and some file systems
/// keep whole seconds only: one second covers both.
inline constexpr std::chrono::milliseconds kSettleTime{1000};

/// True when the item with `identity` last changed at least `kSettleTime`
/// before `lookupBegan` (a `fileClockNow()`).
bool hasSettled(const FileIdentity& identity, std::int64_t lookupBegan);

/// Reads the whole regular file at `path`. Fails with EFBIG when it is larger
/// than `maxBytes`, and with EINVAL when it is not a regular file (a FIFO is
/// never opened for blocking reads). `identity`, when given, receives the
/// identity of the item that was opened, also when its reading then fails.
Expected<std::string> readFile(const std::string& path, std::size_t maxBytes,
                               FileIdentity* identity = nullptr);

/// Creates `path` and any missing parents as folders with `mode`. Succeeds when
/// `path` already is a folder (or a link to one); fails with ENOTDIR when a
/// component is something else.
Expected<void> makeDirectories(const std::string& path, mode_t mode);

/// Whether an atomic write may take the place of an item already at its path.
enum class Replace {
    Existing, ///< the new file takes the place of whatever is there, in one step
    Never,    ///< fail with EEXIST when the name is taken, even by an item that appeared meanwhile
};

/// Writes `contents` to `path` so that readers see the previous item or the
/// whole new file, never a partial one: a hidden temporary file in the same
/// folder, named `atomicWriteTempPrefix(<name>)` plus random letters and
/// created with `mode` less the umask, is written, fsynced and renamed to
/// `path` as `replace` allows; then the folder is flushed. The temporary file
/// is removed on every failure.
Expected<void> writeFileAtomically(const std::string& path, std::string_view contents, mode_t mode,
                                   Replace replace);

/// The name prefix of the temporary files `writeFileAtomically` makes while
/// writing the file named `fileName`.
std::string atomicWriteTempPrefix(std::string_view fileName);

/// Gives the item at `from` the name `to`, never replacing an item at `to`
/// (EEXIST then). Uses renameat2(RENAME_NOREPLACE); where the file system
/// does not offer it, a hard link and an unlink do the same for non-folders.
Expected<void> renameNoReplace(const std::string& from, const std::string& to);

} // namespace corvane::posix
