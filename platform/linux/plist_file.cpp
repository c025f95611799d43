#include "platform/linux/plist_file.h"

#include "platform/linux/plist/plist_codec.h"
#include "platform/linux/posix_io.h"

#include <cerrno>

namespace corvane {

Expected<PlistFile> readPlistFile(const std::string& path) {
    if (!posix::isUsablePath(path))
        return makeError("Cannot read a property list: the path is empty or holds a NUL byte",
                         EINVAL);
    auto bytes = posix::readFile(path, kMaxPropertyListFileSize);
    if (!bytes) {
        switch (bytes.error().code) {
        case ENOENT:
            return PlistFile{};
        case EFBIG:
        case EINVAL:
            return PlistFile{PlistFileState::Unreadable, {}};
        default:
            return std::unexpected(bytes.error());
        }
    }
    auto value = plist::read(*bytes);
    if (!value || !value->isDictionary())
        return PlistFile{PlistFileState::Unreadable, {}};
    return PlistFile{PlistFileState::Good, std::move(value->asDictionary())};
}

} // namespace corvane
