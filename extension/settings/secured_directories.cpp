#include "extension/settings/secured_directories.h"

#include "extension/companion_contract.h"
#include "platform/log.h"
#include "platform/security_scope.h"
#include "platform/settings.h"
#include "platform/unicode.h"

#include <algorithm>
#include <ostream>

namespace corvane {

std::optional<std::vector<SecuredBookmark>> securedBookmarksFromMap(const PlistDictionary& map) {
    std::vector<SecuredBookmark> bookmarks;
    bookmarks.reserve(map.size());
    for (const auto& [key, value] : map) {
        if (!value.isData())
            return std::nullopt;
        bookmarks.push_back(SecuredBookmark{key, value.asData().bytes});
    }
    return bookmarks;
}

std::optional<std::vector<SecuredBookmark>> readSecuredBookmarks(SettingsProvider& settings,
                                                                 std::string_view appGroupId) {
    auto suite = settings.openSuite(appGroupId);
    if (!suite)
        return std::nullopt;
    auto map = suite->dictionaryForKey(contract::kSecuredDirectoriesKey);
    if (!map)
        return std::nullopt;
    return securedBookmarksFromMap(*map);
}

std::vector<FileURL> openSecuredDirectories(const std::vector<SecuredBookmark>& bookmarks,
                                            SecurityScope& security, std::ostream& log) {
    std::vector<FileURL> directories;
    for (const auto& bookmark : bookmarks) {
        auto resolved = security.resolveBookmark(bookmark.data);
        if (!resolved) {
            logLine(log, "Failed to resolve bookmark for " + bookmark.key + ": " +
                             resolved.error().description);
            continue;
        }
        // A stale bookmark still names the folder the user granted; it is
        // used as resolved and refreshing it is the companion app's business.
        // Whatever it resolves to is used, folder or not: the grant was the
        // user's, and a path that is not a folder only widens the prefix test
        // by that one name.
        if (!security.startAccessing(resolved->url))
            continue;
        logLine(log, "Loaded secured URL: " + resolved->url.path());
        directories.push_back(std::move(resolved->url));
    }
    return directories;
}

void closeSecuredDirectories(std::vector<FileURL>& directories, SecurityScope& security) {
    for (const auto& directory : directories)
        security.stopAccessing(directory);
    directories.clear();
}

SecuredFolderRule::SecuredFolderRule(const std::vector<FileURL>& folders) {
    folders_.reserve(folders.size());
    for (const FileURL& folder : folders)
        folders_.emplace_back(folder.path());
}

bool SecuredFolderRule::isInside(std::string_view path) const {
    if (folders_.empty())
        return false;
    const CharacterText text(path);
    return std::ranges::any_of(
        folders_, [&](const CharacterText& folder) { return text.beginsWith(folder); });
}

ScopedSecurityAccess::ScopedSecurityAccess(SecurityScope& security, FileURL url, bool inside)
    : security_(security), url_(std::move(url)) {
    if (inside)
        granted_ = security_.startAccessing(url_);
}

ScopedSecurityAccess::~ScopedSecurityAccess() {
    if (granted_)
        security_.stopAccessing(url_);
}

} // namespace corvane
