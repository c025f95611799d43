#include "extension/settings/menu_options_store.h"

#include "extension/companion_contract.h"
#include "platform/app_group.h"
#include "platform/file_manager.h"
#include "platform/log.h"
#include "platform/settings.h"

#include <ostream>

namespace corvane {

std::optional<FileURL> MenuOptionsStore::fileURL() const {
    auto container = containers_.containerURL(contract::kAppGroupId);
    if (!container) {
        logLine(log_, std::string(kMenuOptionsLogTag) + "App Group container not available for " +
                          std::string(contract::kAppGroupId));
        return std::nullopt;
    }
    return container->appending(contract::kMenuOptionsFileName);
}

std::optional<MenuOptions> MenuOptionsStore::loadFromFile() const {
    auto url = fileURL();
    if (!url)
        return std::nullopt;
    // The reader gives none for a missing, unreadable or malformed file and
    // for a root that is not a dictionary. Its dictionaries only ever have
    // string keys, so a key that is not a string cannot reach this point.
    auto root = files_.readPropertyListDictionary(*url);
    if (!root)
        return std::nullopt;
    MenuOptions options = menuOptionsFromDictionary(*root);
    if (options.empty())
        return std::nullopt;
    return options;
}

MenuOptions MenuOptionsStore::loadFromSharedSettings() const {
    auto suite = settings_.openSuite(contract::kAppGroupId);
    if (!suite)
        return {};
    suite->synchronize();
    auto dictionary = suite->dictionaryForKey(contract::kMenuOptionsKey);
    if (!dictionary)
        return {};
    return menuOptionsFromDictionary(*dictionary);
}

MenuOptions MenuOptionsStore::load() const {
    if (auto fromFile = loadFromFile()) {
        log("Loaded menu options from file: ", *fromFile);
        return std::move(*fromFile);
    }
    MenuOptions shared = loadFromSharedSettings();
    log("Loaded menu options: ", shared);
    if (!shared.empty())
        return shared;
    log("Using default menu options: ", defaults_);
    return defaults_;
}

void MenuOptionsStore::log(std::string_view message, const MenuOptions& options) const {
    logLine(log_,
            std::string(kMenuOptionsLogTag) + std::string(message) + describeMenuOptions(options));
}

} // namespace corvane
