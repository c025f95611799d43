#include "companion/model/granted_folders.h"

#include "extension/settings/secured_directories.h"
#include "platform/security_scope.h"

namespace corvane::companion {

GrantedFolders grantedFolders(const std::optional<PlistValue>& stored, SecurityScope& security) {
    GrantedFolders list;
    if (!stored)
        return list;
    if (!stored->isDictionary()) {
        list.wrongType = true;
        return list;
    }
    const PlistDictionary& map = stored->asDictionary();
    list.unusableAsWhole = !securedBookmarksFromMap(map);
    for (const auto& [key, value] : map) {
        GrantedFolder folder{key, {}, {}};
        if (!value.isData()) {
            folder.problem = "Not a folder bookmark";
        } else if (auto resolved = security.resolveBookmark(value.asData().bytes)) {
            folder.path = resolved->url.path();
        } else {
            folder.problem = resolved.error().description;
        }
        list.folders.push_back(std::move(folder));
    }
    return list;
}

EditOutcome addGrant(std::optional<PlistValue>& stored, std::string_view displayPath,
                     const std::string& data) {
    if (stored && !stored->isDictionary())
        return EditOutcome::WrongType;
    PlistDictionary map = stored ? stored->asDictionary() : PlistDictionary{};
    for (const auto& [key, value] : map) {
        if (value.isData() && value.asData().bytes == data)
            return EditOutcome::Unchanged;
    }
    std::string key(displayPath);
    for (int n = 2; map.contains(key); ++n)
        key = std::string(displayPath) + " (" + std::to_string(n) + ")";
    map.set(std::move(key), PlistData{data});
    stored = std::move(map);
    return EditOutcome::Changed;
}

EditOutcome removeGrant(std::optional<PlistValue>& stored, std::string_view key) {
    if (!stored)
        return EditOutcome::Unchanged;
    if (!stored->isDictionary())
        return EditOutcome::WrongType;
    return stored->asDictionary().remove(key) ? EditOutcome::Changed : EditOutcome::Unchanged;
}

} // namespace corvane::companion
