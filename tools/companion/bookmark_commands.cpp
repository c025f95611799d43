#include "extension/companion_contract.h"
#include "platform/linux/bookmark_security_scope.h"
#include "tools/companion/commands.h"
#include "tools/companion/shared_settings.h"

#include <optional>

namespace corvane::tools::companion {

Outcome<> grant(Arguments args) {
    std::optional<std::string_view> dir;
    std::optional<std::string> key;
    ArgumentReader reader(args);
    while (!reader.done()) {
        std::string_view arg = reader.take();
        if (arg == "--key") {
            auto value = reader.textOf(arg, "the key");
            if (!value)
                return propagate(value);
            key = std::move(*value);
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
    if (!key) {
        auto text = requireText(path, "the folder's path (give --key KEY)");
        if (!text)
            return propagate(text);
        key = std::move(*text);
    }
    if (key->empty())
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
        map->asDictionary().set(*key, PlistData{*bookmark});
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
