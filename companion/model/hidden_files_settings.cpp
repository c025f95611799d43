#include "companion/model/hidden_files_settings.h"

#include <array>

namespace corvane::companion {

std::span<const HiddenFilesSetting> hiddenFilesSettings() {
    // GNOME Files 43 follows GTK's file-chooser key live; its own
    // "show-hidden-files" is no longer read. Caja's open windows follow their
    // key too; Nemo's and Thunar's keep their own state, and new windows
    // follow the key.
    static constexpr std::array<HiddenFilesSetting, 5> table{{
        {"GNOME Files", "nautilus", SettingStore::GSettings, "org.gtk.gtk4.Settings.FileChooser",
         "show-hidden"},
        {"Nemo", "nemo", SettingStore::GSettings, "org.nemo.preferences", "show-hidden-files"},
        {"Caja", "caja", SettingStore::GSettings, "org.mate.caja.preferences", "show-hidden-files"},
        {"Thunar", "thunar", SettingStore::Xfconf, "thunar", "/last-show-hidden"},
        {"Dolphin", "dolphin", SettingStore::DolphinViewProperties, "Settings", "HiddenFilesShown"},
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
