#include "platform/linux/plist_file.h"

#include "platform/plist/plist_codec.h"

#include <malloc.h>

#include <cerrno>
#include <vector>

namespace corvane {

namespace {

// Parsing a large file leaves the heap with many pages of small blocks that
// the allocator keeps after they are freed; hand them back to the system
// when the last holder drops such content.
struct GiveBackOnDrop {
    void operator()(const PlistDictionary* root) const {
        delete root;
        ::malloc_trim(0);
    }
};

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

PlistFileCache::PlistFileCache(std::size_t capacity, ChangeWatch* watch)
    : kept_(capacity, watch), empty_(std::make_shared<const PlistDictionary>()) {}

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
    const auto size = static_cast<std::size_t>(identity.size);
    SharedPlistFile shared{file->state, empty_};
    if (file->state == PlistFileState::Good && size >= kGiveBackAbove)
        shared.root = std::shared_ptr<const PlistDictionary>(
            new PlistDictionary(std::move(file->root)), GiveBackOnDrop{});
    else if (file->state == PlistFileState::Good)
        shared.root = std::make_shared<const PlistDictionary>(std::move(file->root));
    std::vector<WatchedItem> watched;
    if (file->state != PlistFileState::Missing) {
        watched.push_back({path, identity});
    } else if (!watchAbsence(path, watched)) {
        // Kept only while its folder shows that nothing has come to the path.
        watched.clear();
    }
    // At most one very large file is held at a time, so what is kept stays
    // bounded whatever the files hold.
    if (size > kMaxKeptSize) {
        if (!largeKept_.empty() && largeKept_ != path)
            kept_.forget(largeKept_);
        largeKept_ = path;
    }
    if (watched.empty())
        kept_.forget(path);
    else
        kept_.keep(path, std::move(watched), readBegan, shared);
    return shared;
}

} // namespace corvane
