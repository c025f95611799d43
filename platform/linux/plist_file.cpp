#include "platform/linux/plist_file.h"

#include "platform/plist/plist_codec.h"

#include <algorithm>
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
    : capacity_(std::max<std::size_t>(capacity, 1)),
      empty_(std::make_shared<const PlistDictionary>()) {}

Expected<SharedPlistFile> PlistFileCache::read(const std::string& path) {
    if (posix::isUsablePath(path)) {
        auto found = posix::fileIdentity(path);
        if (found) {
            for (Entry& entry : entries_) {
                if (entry.path == path && entry.identity == *found) {
                    entry.lastUse = ++uses_;
                    return entry.file;
                }
            }
        } else if (found.error().code == std::errc::no_such_file_or_directory) {
            forget(path);
            return SharedPlistFile{PlistFileState::Missing, empty_};
        }
        // Anything else the look-up met, the read below meets and reports.
    }

    const std::int64_t readBegan = posix::fileClockNow();
    posix::FileIdentity identity;
    auto file = readPlistFileAt(path, &identity);
    if (!file) {
        forget(path);
        return std::unexpected(file.error());
    }
    SharedPlistFile shared{file->state, empty_};
    if (file->state == PlistFileState::Good)
        shared.root = std::make_shared<const PlistDictionary>(std::move(file->root));
    // A missing file left no identity; a file that changed too recently may
    // change again within the same tick, unseen.
    if (file->state != PlistFileState::Missing && posix::hasSettled(identity, readBegan))
        keep(path, identity, shared);
    else
        forget(path);
    return shared;
}

void PlistFileCache::keep(const std::string& path, const posix::FileIdentity& identity,
                          const SharedPlistFile& file) {
    auto slot = std::ranges::find(entries_, path, &Entry::path);
    if (slot == entries_.end()) {
        if (entries_.size() < capacity_)
            slot = entries_.emplace(entries_.end());
        else
            slot = std::ranges::min_element(entries_, {}, &Entry::lastUse);
    }
    *slot = Entry{path, identity, file, ++uses_};
}

void PlistFileCache::forget(const std::string& path) {
    std::erase_if(entries_, [&](const Entry& entry) { return entry.path == path; });
}

} // namespace corvane
