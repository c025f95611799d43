#pragma once

// The menu commands as switches: what the extension's next menu shows, and
// the value of "contextMenuOptions" that switches one command on or off.

#include "platform/plist_value.h"

#include <optional>
#include <string_view>
#include <vector>

namespace corvane::companion {

/// Where the extension takes its menu options from.
enum class OptionsSource {
    /// "MenuOptions.plist" in the App Group container: it wins over the switches.
    File,
    /// "contextMenuOptions" in the shared settings suite.
    SharedSettings,
    /// Neither holds a usable entry: the built-in defaults.
    Defaults,
};

/// One command as a switch: on when the extension's menu shows it.
struct OptionSwitch {
    std::string_view key;
    std::string_view title;
    bool on = false;
};

/// The seven commands in menu order and where their state comes from.
struct OptionsView {
    std::vector<OptionSwitch> switches;
    OptionsSource source = OptionsSource::Defaults;
    /// "contextMenuOptions" holds a value that is not a dictionary, which
    /// the extension ignores and the switches leave alone.
    bool sharedValueUnusable = false;
};

/// The switches as the extension decides them from the options file's root
/// (none when it is missing or unreadable) and the stored "contextMenuOptions".
OptionsView optionsView(const std::optional<PlistDictionary>& fileRoot,
                        const std::optional<PlistValue>& stored);

/// What an edit of a stored value did.
enum class EditOutcome {
    Changed,
    Unchanged,
    /// The stored value has a type the edit cannot keep intact: left alone.
    WrongType,
};

/// Switches the command `key` on or off in `stored`, the value under
/// "contextMenuOptions" (none when missing). Every command gets an explicit
/// flag equal to what the menu showed before, so switching one changes no
/// other; keys the menu does not know are kept in their place.
EditOutcome switchOption(std::optional<PlistValue>& stored, std::string_view key, bool on);

} // namespace corvane::companion
