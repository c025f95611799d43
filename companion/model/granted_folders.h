#pragma once

// The folders granted to the extension: the bookmark map under
// "securedDirectories" as a list a person can read, add to and remove from.

#include "companion/model/options_model.h"
#include "platform/plist_value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {
class SecurityScope;
}

namespace corvane::companion {

/// One entry of the bookmark map.
struct GrantedFolder {
    /// Its key in the map (the folder's path when this app made it).
    std::string key;
    /// The folder's path as its bookmark resolves; empty when it does not.
    std::string path;
    /// Why the entry gives the extension no folder; empty when it does.
    std::string problem;
};

/// The entries of `stored`, the value under "securedDirectories", in stored
/// order, each resolved through `security`.
struct GrantedFolders {
    std::vector<GrantedFolder> folders;
    /// `stored` is not a dictionary; nothing can be listed or changed.
    bool wrongType = false;
    /// Some entry is not bookmark data: the extension then uses none of them.
    bool unusableAsWhole = false;
};
GrantedFolders grantedFolders(const std::optional<PlistValue>& stored, SecurityScope& security);

/// Adds the bookmark `data` of the folder at `path` to `stored`. The key is
/// `displayPath` (the path as text), made unique with " (2)", " (3)", ... when
/// another bookmark holds it. A map that already holds `data` is unchanged.
EditOutcome addGrant(std::optional<PlistValue>& stored, std::string_view displayPath,
                     const std::string& data);

/// Removes the entry `key` from `stored`.
EditOutcome removeGrant(std::optional<PlistValue>& stored, std::string_view key);

} // namespace corvane::companion
