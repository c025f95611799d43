#include "platform/linux/posix_file_manager.h"

#include "platform/linux/desktop_applications.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_io.h"

#include <cerrno>
#include <sys/stat.h>

namespace corvane {

bool PosixFileManager::fileExists(std::string_view path) {
    if (!posix::isUsablePath(path))
        return false;
    if (applications_ && DesktopApplications::isBundlePath(path))
        return applications_->canStart(path);
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
    return posix::writeFileAtomically(url.path(), contents, 0666, posix::Replace::Never);
}

std::optional<PlistDictionary> PosixFileManager::readPropertyListDictionary(const FileURL& url) {
    auto file = readPlistFile(url.path());
    if (!file || file->state != PlistFileState::Good)
        return std::nullopt;
    return std::move(file->root);
}

} // namespace corvane
