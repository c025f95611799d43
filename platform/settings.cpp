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

} // namespace corvane
