#include "platform/linux/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::posix {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::unexpected<Error> systemError(std::string_view what, int err) {
    std::string text(what);
    text += ": ";
    text += std::strerror(err);
    return makeError(std::move(text), static_cast<std::errc>(err));
}

bool isUsablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos;
}

namespace {

FileIdentity identityOf(const struct stat& st) {
    constexpr std::int64_t kNanoseconds = 1'000'000'000;
    return FileIdentity{
        .device = static_cast<std::uint64_t>(st.st_dev),
        .inode = static_cast<std::uint64_t>(st.st_ino),
        .size = static_cast<std::int64_t>(st.st_size),
        .changeTime =
            static_cast<std::int64_t>(st.st_ctim.tv_sec) * kNanoseconds + st.st_ctim.tv_nsec,
        .modificationTime =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNanoseconds + st.st_mtim.tv_nsec,
    };
}

} // namespace

Expected<FileIdentity> fileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return systemError("Cannot inspect " + path, errno);
    return identityOf(st);
}

std::int64_t fileClockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool hasSettled(const FileIdentity& identity, std::int64_t lookupBegan) {
    return identity.changeTime + std::chrono::nanoseconds(kSettleTime).count() <= lookupBegan;
}

Expected<std::string> readFile(const std::string& path, std::size_t maxBytes,
                               FileIdentity* identity) {
    // O_NONBLOCK so that opening a FIFO does not wait for a writer.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return systemError("Cannot open " + path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return systemError("Cannot inspect " + path, errno);
    if (identity)
        *identity = identityOf(st);
    if (S_ISDIR(st.st_mode))
        return systemError("Cannot read " + path, EISDIR);
    if (!S_ISREG(st.st_mode))
        return makeError("Cannot read " + path + ": not a regular file",
                         std::errc::invalid_argument);
    if (static_cast<std::size_t>(st.st_size) > maxBytes)
        return systemError("Cannot read " + path, EFBIG);

    std::string bytes;
    // One byte more than the file holds, so the read that finds the end
    // needs no larger buffer.
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t filled = 0;
    for (;;) {
        // The file may have grown since fstat: keep reading up to one byte past the cap.
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes)
                return systemError("Cannot read " + path, EFBIG);
            bytes.resize(std::min(maxBytes + 1, std::max<std::size_t>(bytes.size() * 2, 4096)));
        }
        ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return systemError("Cannot read " + path, errno);
        }
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    if (filled > maxBytes)
        return systemError("Cannot read " + path, EFBIG);
    bytes.resize(filled);
    return bytes;
}

namespace {

Expected<void> makeFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0)
        return {};
    int err = errno;
    if (err == ENOENT) {
        // Create the missing parent first.
        auto slash = path.find_last_not_of('/');
        slash = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
        if (slash == std::string::npos || slash == 0)
            return systemError("Cannot create folder " + path, err);
        if (auto parent = makeFolder(path.substr(0, slash), mode); !parent)
            return parent;
        if (::mkdir(path.c_str(), mode) == 0)
            return {};
        err = errno;
    }
    if (err != EEXIST)
        return systemError("Cannot create folder " + path, err);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return systemError("Cannot create folder " + path, errno);
    if (!S_ISDIR(st.st_mode))
        return systemError("Cannot create folder " + path, ENOTDIR);
    return {};
}

} // namespace

Expected<void> makeDirectories(const std::string& path, mode_t mode) {
    if (!isUsablePath(path))
        return makeError("Cannot create folder: the path is empty or holds a NUL byte",
                         std::errc::invalid_argument);
    // Nearly always the folder is there already (every settings suite opened,
    // twice a second by the poll timer, asks): one stat says so.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return {};
    return makeFolder(path, mode);
}

Expected<void> renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return systemError("Cannot move " + from + " to " + to, err);

    // The file system has no RENAME_NOREPLACE. link() refuses a taken name
    // atomically; it cannot move folders, which then fail with the original error.
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return systemError("Cannot move " + from + " to " + to, errno);
    if (S_ISDIR(st.st_mode))
        return systemError("Cannot move " + from + " to " + to, err);
    if (::link(from.c_str(), to.c_str()) != 0)
        return systemError("Cannot move " + from + " to " + to, errno);
    if (::unlink(from.c_str()) != 0) {
        int unlinkErr = errno;
        ::unlink(to.c_str());
        return systemError("Cannot move " + from + " to " + to, unlinkErr);
    }
    return {};
}

namespace {

/// An open, exclusively created, empty file at `path`.
struct TempFile {
    UniqueFd fd;
    std::string path;
};

/// Creates `<folder>/<prefix><random letters>` with `mode` (the umask
/// applies), the way mkstemp does but with a chosen mode and prefix.
Expected<TempFile> createTempFile(const std::string& folder, std::string_view prefix, mode_t mode) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string base = folder;
    if (base.empty() || base.back() != '/')
        base += '/';
    base += prefix;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Fresh kernel randomness each time: a generator state would be
        // duplicated into every forked child.
        unsigned char noise[10] = {};
        if (::getrandom(noise, sizeof noise, 0) != static_cast<ssize_t>(sizeof noise))
            for (std::size_t i = 0; i < sizeof noise; ++i)
                noise[i] = static_cast<unsigned char>(::getpid() + attempt * 31 + i * 7);
        std::string path = base;
        for (unsigned char byte : noise)
            path += kLetters[byte % (sizeof kLetters - 1)];
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0)
            return TempFile{UniqueFd(fd), std::move(path)};
        if (errno != EEXIST)
            return systemError("Cannot create a temporary file in " + folder, errno);
    }
    return systemError("Cannot create a temporary file in " + folder, EEXIST);
}

/// Writes all of `bytes` to `fd`, resuming short writes and interrupted
/// calls. Returns 0, or the errno of the call that failed.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

} // namespace

std::string atomicWriteTempPrefix(std::string_view fileName) {
    // Hidden while it is being written, so nobody picks up a partial file.
    std::string prefix = ".";
    prefix += fileName;
    prefix += ".tmp-";
    return prefix;
}

Expected<void> writeFileAtomically(const std::string& path, std::string_view contents, mode_t mode,
                                   Replace replace) {
    // What a failure says: a file made where none was, or one written over.
    const std::string failed =
        replace == Replace::Never ? "Cannot create " + path : "Cannot replace " + path;
    auto slash = path.rfind('/');
    std::string_view name = slash == std::string::npos ? std::string_view(path)
                                                       : std::string_view(path).substr(slash + 1);
    if (!isUsablePath(path) || name.empty())
        return makeError(failed + ": not a file path", std::errc::invalid_argument);
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);

    auto temp = createTempFile(folder, atomicWriteTempPrefix(name), mode);
    if (!temp)
        return systemError(failed, static_cast<int>(temp.error().code));
    auto discard = [&](std::string_view what, int err) -> Expected<void> {
        temp->fd.reset();
        ::unlink(temp->path.c_str());
        return systemError(what, err);
    };
    if (int err = writeAll(temp->fd.get(), contents); err != 0)
        return discard("Cannot write " + path, err);
    if (::fsync(temp->fd.get()) != 0)
        return discard("Cannot write " + path, errno);
    if (::close(temp->fd.release()) != 0)
        return discard("Cannot write " + path, errno);
    if (replace == Replace::Existing) {
        if (::rename(temp->path.c_str(), path.c_str()) != 0)
            return discard(failed, errno);
    } else if (auto placed = renameNoReplace(temp->path, path); !placed) {
        return discard(failed, static_cast<int>(placed.error().code));
    }
    // Flush the folder's entries too, so the rename survives a crash.
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd)
        ::fsync(folderFd.get());
    return {};
}

} // namespace corvane::posix
