#include "platform/linux/plist_file.h"

#include "platform/plist/plist_codec.h"

#include <cerrno>

namespace corvane {

namespace {

Expected<PlistFile> readPlistFileAt(const std::string& path, posix::FileIdentity* identity) {
    if (!posix::isUsablePath(path))
        return makeError("Cannot read a property list: the path is empty or holds a NUL byte",
                         std::errc::invalid_argument);
    auto bytes = posix::readFile(path, kMaxPropertyListFileSize, identity);
    if (!bytes) {
        switch (bytes.error().code) {
        case std::errc::no_such_file_or_directory:
            return PlistFile{};
        case std::errc::file_too_large:
        case std::errc::invalid_argument:
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

} // namespace

Expected<PlistFile> readPlistFile(const std::string& path) {
    return readPlistFileAt(path, nullptr);
}

PlistFileCache::PlistFileCache(std::size_t capacity)
    : kept_(capacity), empty_(std::make_shared<const PlistDictionary>()) {}

Expected<SharedPlistFile> PlistFileCache::read(const std::string& path) {
    if (auto kept = kept_.find(path))
        return *kept;
    const std::int64_t readBegan = posix::fileClockNow();
    posix::FileIdentity identity;
    auto file = readPlistFileAt(path, &identity);
    if (!file) {
        kept_.forget(path);
        return std::unexpected(file.error());
    }
    SharedPlistFile shared{file->state, empty_};
    if (file->state == PlistFileState::Good)
        shared.root = std::make_shared<const PlistDictionary>(std::move(file->root));
    // A missing file left no identity to watch.
    if (file->state == PlistFileState::Missing)
        kept_.forget(path);
    else
        kept_.keep(path, {{path, identity}}, readBegan, shared);
    return shared;
}

} // namespace corvane
