#include "platform/settings.h"

namespace corvane {

bool SettingsSuite::boolForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value)
        return false;
    if (value->isBool())
        return value->asBool();
    if (value->isInteger())
        return value->asInteger() != 0;
    if (value->isReal())
        return value->asReal() != 0.0;
    return false;
}

std::optional<PlistDictionary> SettingsSuite::dictionaryForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isDictionary())
        return std::nullopt;
    return value->asDictionary();
}

} // namespace corvane
