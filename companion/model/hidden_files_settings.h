#pragma once

// The file managers' own settings for showing hidden files, one row per file
// manager, and the toggle that flips them all together.

#include "platform/error.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::companion {

/// Where a file manager keeps a setting.
enum class SettingStore {
    /// A boolean key of a GSettings schema (`location` is the schema id).
    GSettings,
    /// A boolean property of an xfconf channel (`location` is the channel).
    Xfconf,
    /// A boolean of Dolphin's view properties for every folder (`location`
    /// is the group of its `.directory` file); running Dolphins are switched
    /// through their actions on the session bus.
    DolphinViewProperties,
};

/// One file manager's hidden-files setting.
struct HiddenFilesSetting {
    /// Its name for people, such as "GNOME Files".
    std::string_view fileManager;
    /// Its program: the file manager counts as installed when this is found.
    std::string_view program;
    SettingStore store;
    std::string_view location;
    /// The key (GSettings) or property path (xfconf).
    std::string_view key;
};

/// Every file manager this app knows, one row each.
std::span<const HiddenFilesSetting> hiddenFilesSettings();

/// Reads and writes the settings of the table's rows.
class SettingsStores {
  public:
    virtual ~SettingsStores() = default;
    /// The setting's value; none when its file manager or store is not
    /// installed, or the value cannot be read.
    virtual std::optional<bool> read(const HiddenFilesSetting& setting) = 0;
    virtual Expected<void> write(const HiddenFilesSetting& setting, bool value) = 0;
};

/// What a toggle did.
struct ToggleOutcome {
    /// Whether hidden files are now shown; none when no file manager was found.
    std::optional<bool> shown;
    /// "<file manager>: <why>" for each setting that could not be written.
    std::vector<std::string> failures;
};

/// Flips hidden files in every installed file manager of `settings` at once:
/// the new value is the opposite of the first readable setting's, and every
/// readable setting gets it, so file managers that disagreed agree afterwards.
ToggleOutcome toggleHiddenFiles(std::span<const HiddenFilesSetting> settings,
                                SettingsStores& stores);

} // namespace corvane::companion
