#include "extension/companion_contract.h"
#include "platform/linux/bookmark_security_scope.h"
#include "tools/companion/commands.h"
#include "tools/companion/shared_settings.h"

#include <optional>

namespace corvane::tools::companion {

Outcome<> grant(Arguments args) {
    std::optional<std::string_view> dir, key;
    ArgumentReader reader(args);
    while (!reader.done()) {
        std::string_view arg = reader.take();
        if (arg == "--key") {
            auto value = reader.valueOf(arg, "a value");
            if (!value)
                return propagate(value);
            key = *value;
        } else if (!dir) {
            dir = arg;
        } else {
            return usageError("grant takes one DIR");
        }
    }
    if (!dir)
        return usageError("grant needs a DIR");
    auto url = absoluteURL(*dir, "DIR");
    if (!url)
        return propagate(url);
    const std::string& path = url->path();
    auto label = key ? requireText(*key, "the key")
                     : requireText(path, "the folder's path (give --key KEY)");
    if (!label)
        return propagate(label);
    if (label->empty())
        return usageError("the key is empty");

    auto bookmark = makeBookmarkData(path);
    if (!bookmark)
        return failure("cannot make a bookmark of " + printable(path) + ": " +
                       bookmark.error().description);
    auto suite = openSharedSuite();
    if (!suite)
        return propagate(suite);
    return modify(**suite, contract::kSecuredDirectoriesKey, [&](std::optional<PlistValue>& map) {
        if (!map || !map->isDictionary())
            map = PlistDictionary{};
        map->asDictionary().set(*label, PlistData{*bookmark});
    });
}

Outcome<> revoke(Arguments args) {
    auto key = onlyKey("revoke", args);
    if (!key)
        return propagate(key);
    auto suite = openSharedSuite();
    if (!suite)
        return propagate(suite);
    bool removed = false;
    auto revoked =
        modify(**suite, contract::kSecuredDirectoriesKey, [&](std::optional<PlistValue>& map) {
            removed = map && map->isDictionary() && map->asDictionary().remove(*key);
        });
    if (!revoked)
        return revoked;
    if (!removed)
        return failure("no secured directory is stored under \"" + *key + "\"");
    return {};
}

} // namespace corvane::tools::companion
