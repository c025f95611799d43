#include "platform/linux/posix_file_manager.h"

#include "platform/linux/desktop_applications.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_io.h"

#include <cerrno>
#include <sys/stat.h>

namespace corvane {

PosixFileManager::PosixFileManager() : plistFiles_(std::make_shared<PlistFileCache>()) {}

PosixFileManager::PosixFileManager(std::shared_ptr<PlistFileCache> plistFiles,
                                   const DesktopApplications* applications)
    : plistFiles_(std::move(plistFiles)), applications_(applications) {}

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
        return makeError("Cannot move: a path holds a NUL byte", std::errc::invalid_argument);
    return posix::renameNoReplace(from.path(), to.path());
}

Expected<void> PosixFileManager::createFileAtomically(const FileURL& url,
                                                      std::string_view contents) {
    return posix::writeFileAtomically(url.path(), contents, 0666, posix::Replace::Never);
}

std::optional<PlistDictionary> PosixFileManager::readPropertyListDictionary(const FileURL& url) {
    auto file = plistFiles_->read(url.path());
    if (!file || file->state != PlistFileState::Good)
        return std::nullopt;
    return *file->root;
}

} // namespace corvane
