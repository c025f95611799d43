#include "extension/companion_contract.h"
#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"
#include "tools/companion/commands.h"
#include "tools/companion/shared_settings.h"
#include "tools/plist_json.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>

namespace corvane::tools::companion {

namespace {

/// What `options` does with the menu options it read.
enum class OptionsChange { Replace, Clear };
/// Where `options` keeps them.
enum class OptionsStore { Suite, File };

/// `true`/`false` are booleans, a decimal integer is a number, anything else a string.
Outcome<PlistValue> optionValue(std::string_view text) {
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    if (auto number = parseNumber<std::int64_t>(text))
        return *number;
    return requireText(text, "the value");
}

Outcome<> writeOptionsFile(OptionsChange change, const PlistDictionary& menuOptions) {
    Outcome<std::string> folder = sharedContainerFolder();
    if (!folder)
        return propagate(folder);
    const std::string path = *folder + "/" + std::string(contract::kMenuOptionsFileName);
    if (change == OptionsChange::Clear) {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return failure("cannot remove " + printable(path) + ": " + std::strerror(errno));
        return {};
    }
    auto xml = plist::writeXml(menuOptions);
    if (!xml)
        return failure("cannot encode the menu options: " + xml.error().description);
    // Readers see the previous file or the new one, never a partial file.
    if (auto written = posix::writeFileAtomically(path, *xml, 0644, posix::Replace::Existing);
        !written)
        return failure("cannot write " + printable(path) + ": " +
                       std::make_error_code(written.error().code).message());
    return {};
}

} // namespace

Outcome<> running(Arguments args) {
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off" && args[0] != "clear"))
        return usageError("running takes one of on, off, clear");
    auto suite = openSharedSuite();
    if (!suite)
        return propagate(suite);
    if (args[0] == "clear")
        return erase(**suite, contract::kAppRunningKey);
    return store(**suite, contract::kAppRunningKey, args[0] == "on");
}

Outcome<> options(Arguments args) {
    OptionsChange change = OptionsChange::Replace;
    OptionsStore where = OptionsStore::Suite;
    bool optionsEnded = false;
    PlistDictionary menuOptions;
    for (std::string_view arg : args) {
        if (!optionsEnded && arg == "--file") {
            where = OptionsStore::File;
        } else if (!optionsEnded && arg == "--clear") {
            change = OptionsChange::Clear;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with("--")) {
            return usageError("unknown option " + printable(arg));
        } else {
            auto eq = arg.find('=');
            if (eq == std::string_view::npos || eq == 0)
                return usageError("expected KEY=VALUE, got \"" + printable(arg) + "\"");
            auto key = requireText(arg.substr(0, eq), "the key");
            if (!key)
                return propagate(key);
            auto value = optionValue(arg.substr(eq + 1));
            if (!value)
                return propagate(value);
            menuOptions.set(std::move(*key), std::move(*value));
        }
    }
    if (change == OptionsChange::Clear && !menuOptions.empty())
        return usageError("--clear takes no KEY=VALUE");

    if (where == OptionsStore::File)
        return writeOptionsFile(change, menuOptions);
    auto suite = openSharedSuite();
    if (!suite)
        return propagate(suite);
    if (change == OptionsChange::Clear)
        return erase(**suite, contract::kMenuOptionsKey);
    return store(**suite, contract::kMenuOptionsKey, menuOptions);
}

Outcome<> read(Arguments args) {
    auto key = onlyKey("read", args);
    if (!key)
        return propagate(key);
    auto suite = openSharedSuite();
    if (!suite)
        return propagate(suite);
    auto value = (*suite)->objectForKey(*key);
    std::cout << (value ? json::toJson(*value) : json::kNull) << std::endl;
    return {};
}

} // namespace corvane::tools::companion
