#include "platform/settings.h"

namespace corvane {

bool SettingsSuite::boolForKey(std::string_view key) const {
    std::optional<PlistValue> value = objectForKey(key);
    return value && value->flagValue().value_or(false);
}

std::optional<PlistDictionary> SettingsSuite::dictionaryForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isDictionary())
        return std::nullopt;
    return std::move(value->asDictionary());
}

SettingsSuite::Modified SettingsSuite::applyModification(PlistDictionary& root,
                                                         std::string_view key,
                                                         const Modification& change) {
    std::optional<PlistValue> value;
    if (const PlistValue* stored = root.find(key))
        value = *stored;
    const std::optional<PlistValue> before = value;
    change(value);
    if (value == before)
        return Modified::No;
    if (value)
        root.set(std::string(key), std::move(*value));
    else
        root.remove(key);
    return Modified::Yes;
}

Expected<bool> SettingsSuite::removeObjectIfEqual(std::string_view key,
                                                  const PlistValue& expected) {
    bool removed = false;
    auto modified = modifyObject(key, [&](std::optional<PlistValue>& value) {
        if (value && *value == expected) {
            value.reset();
            removed = true;
        }
    });
    if (!modified)
        return std::unexpected(modified.error());
    return removed;
}

} // namespace corvane
