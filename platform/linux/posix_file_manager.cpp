#include "platform/linux/posix_file_manager.h"

#include "platform/linux/plist/plist_codec.h"
#include "platform/linux/posix_io.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

bool PosixFileManager::fileExists(std::string_view path) {
    if (!posix::isUsablePath(path))
        return false;
    struct stat st {};
    return ::lstat(std::string(path).c_str(), &st) == 0;
}

Expected<void> PosixFileManager::moveItem(const FileURL& from, const FileURL& to) {
    if (!posix::isUsablePath(from.path()) || !posix::isUsablePath(to.path()))
        return makeError("Cannot move: a path holds a NUL byte", EINVAL);
    return posix::renameNoReplace(from.path(), to.path());
}

Expected<void> PosixFileManager::createFileAtomically(const FileURL& url,
                                                      std::string_view contents) {
    const std::string& target = url.path();
    if (!posix::isUsablePath(target) || target == "/")
        return makeError("Cannot create " + target + ": not a file path", EINVAL);
    std::string folder = url.parent().path();

    // Hidden while it is being written, so nobody picks up a partial file.
    auto temp = posix::createTempFile(folder, "." + url.lastPathComponent() + ".tmp-", 0666);
    if (!temp)
        return posix::systemError("Cannot create " + target, temp.error().code);

    auto discard = [&](Error error) -> Expected<void> {
        temp->fd.reset();
        ::unlink(temp->path.c_str());
        return std::unexpected(std::move(error));
    };
    if (auto written = posix::writeAll(temp->fd.get(), contents, target); !written)
        return discard(written.error());
    if (::fsync(temp->fd.get()) != 0)
        return discard(posix::systemError("Cannot write " + target, errno).error());
    temp->fd.reset();
    if (auto placed = posix::renameNoReplace(temp->path, target); !placed)
        return discard(posix::systemError("Cannot create " + target, placed.error().code).error());
    posix::syncFolder(folder);
    return {};
}

std::optional<PlistDictionary> PosixFileManager::readPropertyListDictionary(const FileURL& url) {
    if (!posix::isUsablePath(url.path()))
        return std::nullopt;
    auto bytes = posix::readFile(url.path(), posix::kMaxPropertyListFileSize);
    if (!bytes)
        return std::nullopt;
    auto value = plist::read(*bytes);
    if (!value || !value->isDictionary())
        return std::nullopt;
    return std::move(value->asDictionary());
}

} // namespace corvane
