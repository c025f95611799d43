#pragma once

#include "platform/security_scope.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>

namespace corvane {

// Bookmark data format ("corvane.bookmark", version 1)
//
// A bookmark is a binary property list ("bplist00") whose root is a
// dictionary with exactly these keys:
//
//   "format"   string   "corvane.bookmark"
//   "version"  integer  1
//   "path"     data     the raw bytes of the item's absolute path, without a
//                       trailing slash; data rather than string so that file
//                       names that are not UTF-8 survive
//   "device"   integer  st_dev of the item (lstat), as a signed 64-bit value
//   "inode"    integer  st_ino of the item (lstat), as a signed 64-bit value
//
// Resolving a bookmark looks the path up again. It fails when the data does
// not follow this format or nothing exists at the path any more. It succeeds
// for any item at the path, and marks the bookmark stale when the device or
// inode differ (the item was replaced by another one of the same name).
// Readers ignore keys they do not know; a later version may add some.

/// Makes bookmark data for the item at `absolutePath` (see the format above).
/// Fails when the path is not absolute, holds a NUL byte or names nothing.
Expected<std::string> makeBookmarkData(std::string_view absolutePath);

/// Resolves bookmarks of the format above. Linux has no sandbox extensions to
/// hand out, so access is counted per path rather than enforced: it is granted
/// whenever something exists at the path. One thread uses it (in the extension
/// process, the main loop's): it takes no locks.
class BookmarkSecurityScope : public SecurityScope {
  public:
    /// Looks the item up at every call; the decoding of data seen before
    /// (the same bytes decode the same way) is remembered.
    Expected<Resolved> resolveBookmark(std::string_view bookmarkData) override;
    /// True, and one more access counted for the path, when something exists
    /// there. Access to the URL that the call just before resolved relies on
    /// that resolution's look-up, made a moment ago, instead of a second one.
    bool startAccessing(const FileURL& url) override;
    /// Ends one counted access of the path; never goes below zero.
    void stopAccessing(const FileURL& url) override;

    /// The number of accesses to `url`'s path started and not yet stopped.
    int accessCount(const FileURL& url) const;

  private:
    /// What a bookmark's data says.
    struct Decoded {
        FileURL url;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    static Expected<Decoded> decode(std::string_view bookmarkData);
    const Expected<Decoded>& decoded(std::string_view bookmarkData);
    struct DataHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view data) const {
            return std::hash<std::string_view>{}(data);
        }
    };

    std::unordered_map<std::string, Expected<Decoded>, DataHash, std::equal_to<>>
        decoded_; // by bookmark data
    std::map<std::string, int> accessCounts_;
    std::string justResolved_; // empty unless the last call resolved a bookmark
};

} // namespace corvane
