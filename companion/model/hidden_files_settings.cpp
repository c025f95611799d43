#include "companion/model/hidden_files_settings.h"

#include <array>

namespace corvane::companion {

std::span<const HiddenFilesSetting> hiddenFilesSettings() {
    // GNOME Files 43 follows GTK's file-chooser key live; its own
    // "show-hidden-files" is no longer read.
    static constexpr std::array<HiddenFilesSetting, 1> table{{
        {"GNOME Files", "nautilus", SettingStore::GSettings, "org.gtk.gtk4.Settings.FileChooser",
         "show-hidden"},
    }};
    return table;
}

ToggleOutcome toggleHiddenFiles(std::span<const HiddenFilesSetting> settings,
                                SettingsStores& stores) {
    ToggleOutcome outcome;
    std::vector<const HiddenFilesSetting*> installed;
    for (const HiddenFilesSetting& setting : settings) {
        std::optional<bool> value = stores.read(setting);
        if (!value)
            continue;
        if (!outcome.shown)
            outcome.shown = !*value;
        installed.push_back(&setting);
    }
    for (const HiddenFilesSetting* setting : installed) {
        if (auto written = stores.write(*setting, *outcome.shown); !written)
            outcome.failures.push_back(std::string(setting->fileManager) + ": " +
                                       written.error().description);
    }
    return outcome;
}

} // namespace corvane::companion
