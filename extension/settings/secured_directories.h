#pragma once

#include "platform/file_url.h"
#include "platform/plist_value.h"
#include "platform/unicode.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class SecurityScope;
class SettingsProvider;

/// One entry of the companion app's bookmark map: the label of a granted
/// folder and its bookmark data.
struct SecuredBookmark {
    std::string key;
    std::string data;
    bool operator==(const SecuredBookmark&) const = default;
};

/// The bookmark map taken as a whole: its entries in stored order, or none
/// when any value is not data (then no entry may be used).
std::optional<std::vector<SecuredBookmark>> securedBookmarksFromMap(const PlistDictionary& map);

/// The bookmark map under "securedDirectories" in the shared settings suite
/// `appGroupId`; none when the suite cannot be opened, the key holds no
/// dictionary, or the map is not usable as a whole.
std::optional<std::vector<SecuredBookmark>> readSecuredBookmarks(SettingsProvider& settings,
                                                                 std::string_view appGroupId);

/// Resolves each bookmark in order and starts access on what it resolves to.
/// Returns the folders whose access was granted, in order; a stale bookmark
/// is used as it resolves. Logs each folder loaded and each bookmark that
/// fails to resolve; a refused access is dropped silently.
std::vector<FileURL> openSecuredDirectories(const std::vector<SecuredBookmark>& bookmarks,
                                            SecurityScope& security, std::ostream& log);

/// Ends the access of every folder in `directories`, in list order, and
/// empties the list.
void closeSecuredDirectories(std::vector<FileURL>& directories, SecurityScope& security);

/// Whether a path lies inside one of a list of folders: when it begins,
/// character by character, with the path of one of them. There is
/// deliberately no check for a separator after the match, so "/a/bc" lies
/// inside "/a/b". Each folder's path is taken apart into characters once, when
/// the rule is made, so a batch tests many paths against many folders at the
/// cost of one pass over each path.
class SecuredFolderRule {
  public:
    SecuredFolderRule() = default;
    explicit SecuredFolderRule(const std::vector<FileURL>& folders);
    bool isInside(std::string_view path) const;

  private:
    std::vector<CharacterText> folders_;
};

/// Security-scoped access to one item for the length of a file operation:
/// started on construction when `inside` is true, ended on destruction if
/// and only if it was granted.
class ScopedSecurityAccess {
  public:
    ScopedSecurityAccess(SecurityScope& security, FileURL url, bool inside);
    ~ScopedSecurityAccess();
    ScopedSecurityAccess(const ScopedSecurityAccess&) = delete;
    ScopedSecurityAccess& operator=(const ScopedSecurityAccess&) = delete;

    /// Whether access was started and granted.
    bool granted() const { return granted_; }

  private:
    SecurityScope& security_;
    FileURL url_;
    bool granted_ = false;
};

} // namespace corvane
