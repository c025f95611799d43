#include "platform/linux/bookmark_security_scope.h"

#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace corvane {

namespace {

constexpr std::string_view kFormat = "corvane.bookmark";
constexpr std::int64_t kVersion = 1;

std::unexpected<Error> malformed(std::string_view why) {
    return makeError("The bookmark data is malformed: " + std::string(why),
                     std::errc::invalid_argument);
}

// `st_dev` and `st_ino` are unsigned and may lie above the signed 64-bit
// range. Either integer kind is read; a negative one is taken as the same
// 64 bits cast to signed, as a writer without unsigned integers stores them.
std::optional<std::uint64_t> statNumber(const PlistValue* value) {
    if (value && value->isInteger())
        return static_cast<std::uint64_t>(value->asInteger());
    if (value && value->isUnsignedInteger())
        return value->asUnsignedInteger();
    return std::nullopt;
}

} // namespace

Expected<std::string> makeBookmarkData(std::string_view absolutePath) {
    if (absolutePath.empty() || absolutePath.front() != '/')
        return makeError("Cannot make a bookmark: the path is not absolute",
                         std::errc::invalid_argument);
    if (!posix::isUsablePath(absolutePath))
        return makeError("Cannot make a bookmark: the path holds a NUL byte",
                         std::errc::invalid_argument);
    std::string path = FileURL::fromPath(absolutePath).path();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return posix::systemError("Cannot make a bookmark for " + path, errno);

    PlistDictionary root;
    root.set("format", PlistValue(std::string(kFormat)));
    root.set("version", PlistValue(kVersion));
    root.set("path", PlistValue(PlistData{path}));
    root.set("device", PlistValue(static_cast<std::uint64_t>(st.st_dev)));
    root.set("inode", PlistValue(static_cast<std::uint64_t>(st.st_ino)));
    return plist::writeBinary(PlistValue(std::move(root)));
}

Expected<BookmarkSecurityScope::Decoded>
BookmarkSecurityScope::decode(std::string_view bookmarkData) {
    auto value = plist::read(bookmarkData);
    if (!value)
        return malformed("not a property list (" + value.error().description + ")");
    if (!value->isDictionary())
        return malformed("its root is not a dictionary");
    const PlistDictionary& root = value->asDictionary();

    const PlistValue* format = root.find("format");
    if (!format || !format->isString() || format->asString() != kFormat)
        return malformed("it is not a \"corvane.bookmark\"");
    const PlistValue* version = root.find("version");
    if (!version || !version->isInteger())
        return malformed("\"version\" is missing or not an integer");
    if (version->asInteger() != kVersion)
        return malformed("version " + std::to_string(version->asInteger()) + " is not supported");
    const PlistValue* pathValue = root.find("path");
    if (!pathValue || !pathValue->isData())
        return malformed("\"path\" is missing or not data");
    const std::string& path = pathValue->asData().bytes;
    if (path.empty() || path.front() != '/')
        return malformed("\"path\" is not absolute");
    if (!posix::isUsablePath(path))
        return malformed("\"path\" holds a NUL byte");
    std::optional<std::uint64_t> device = statNumber(root.find("device"));
    std::optional<std::uint64_t> inode = statNumber(root.find("inode"));
    if (!device)
        return malformed("\"device\" is missing or not an integer");
    if (!inode)
        return malformed("\"inode\" is missing or not an integer");
    return Decoded{FileURL::fromPath(path), *device, *inode};
}

const Expected<BookmarkSecurityScope::Decoded>&
BookmarkSecurityScope::decoded(std::string_view bookmarkData) {
    // The companion app keeps one bookmark per granted folder; a bound keeps
    // data that keeps changing from growing the table without end.
    constexpr std::size_t kMaxRemembered = 1024;
    if (auto found = decoded_.find(bookmarkData); found != decoded_.end())
        return found->second;
    if (decoded_.size() >= kMaxRemembered)
        decoded_.clear();
    return decoded_.emplace(std::string(bookmarkData), decode(bookmarkData)).first->second;
}

Expected<SecurityScope::Resolved>
BookmarkSecurityScope::resolveBookmark(std::string_view bookmarkData) {
    justResolved_.clear();
    const Expected<Decoded>& bookmark = decoded(bookmarkData);
    if (!bookmark)
        return std::unexpected(bookmark.error());
    const std::string& path = bookmark->url.path();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return makeError("The item at " + path + " no longer exists",
                             static_cast<std::errc>(err));
        return posix::systemError("Cannot reach the item at " + path, err);
    }
    bool sameItem = static_cast<std::uint64_t>(st.st_dev) == bookmark->device &&
                    static_cast<std::uint64_t>(st.st_ino) == bookmark->inode;
    justResolved_ = path;
    return Resolved{bookmark->url, !sameItem};
}

bool BookmarkSecurityScope::startAccessing(const FileURL& url) {
    const bool lookedUp = !justResolved_.empty() && justResolved_ == url.path();
    justResolved_.clear();
    if (!lookedUp) {
        if (!posix::isUsablePath(url.path()))
            return false;
        struct stat st {};
        if (::lstat(url.path().c_str(), &st) != 0)
            return false;
    }
    ++accessCounts_[url.path()];
    return true;
}

void BookmarkSecurityScope::stopAccessing(const FileURL& url) {
    justResolved_.clear();
    auto it = accessCounts_.find(url.path());
    if (it == accessCounts_.end())
        return;
    if (--it->second <= 0)
        accessCounts_.erase(it);
}

int BookmarkSecurityScope::accessCount(const FileURL& url) const {
    auto it = accessCounts_.find(url.path());
    return it == accessCounts_.end() ? 0 : it->second;
}

} // namespace corvane
