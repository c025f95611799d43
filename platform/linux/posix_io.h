#pragma once

#include "platform/error.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace corvane::posix {

/// Largest property-list file we read; anything bigger is refused rather
/// than loaded into memory.
inline constexpr std::size_t kMaxPropertyListFileSize = std::size_t{64} << 20;

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

/// Reads the whole regular file at `path`. Fails with EFBIG when it is larger
/// than `maxBytes`, and with EINVAL when it is not a regular file (a FIFO is
/// never opened for blocking reads).
Expected<std::string> readFile(const std::string& path, std::size_t maxBytes);

/// Creates `path` and any missing parents as folders with `mode`. Succeeds when
/// `path` already is a folder (or a link to one); fails with ENOTDIR when a
/// component is something else.
Expected<void> makeDirectories(const std::string& path, mode_t mode);

/// Writes all of `bytes` to `fd`, resuming short writes and interrupted calls.
/// `path` names the file in the error text.
Expected<void> writeAll(int fd, std::string_view bytes, std::string_view path);

/// A new, empty, exclusively created file named `<folder>/<prefix><random>`.
struct TempFile {
    UniqueFd fd;
    std::string path;
};
/// Creates a temporary file in `folder` with `mode` (the umask applies), the
/// way mkstemp does but with a chosen mode and prefix.
Expected<TempFile> createTempFile(const std::string& folder, std::string_view prefix, mode_t mode);

/// Gives the item at `from` the name `to`, never replacing an item at `to`
/// (EEXIST then). Uses renameat2(RENAME_NOREPLACE); where the file system
/// does not offer it, a hard link and an unlink do the same for non-folders.
Expected<void> renameNoReplace(const std::string& from, const std::string& to);

/// Flushes the folder's entries to disk, so a rename into it survives a crash.
void syncFolder(const std::string& folder);

} // namespace corvane::posix
