#pragma once

// The file managers' settings where they keep them: GSettings (dconf on a
// desktop), xfconf over the session bus, and Dolphin's view properties.

#include "companion/model/hidden_files_settings.h"

typedef struct _GDBusConnection GDBusConnection;

namespace corvane::companion {

class DesktopSettingsStores final : public SettingsStores {
  public:
    /// xfconf is asked on `session`, which must outlive this object.
    explicit DesktopSettingsStores(GDBusConnection* session) : session_(session) {}

    /// None when the file manager's program is not on PATH, the schema or
    /// key is not installed, or xfconf does not answer.
    std::optional<bool> read(const HiddenFilesSetting& setting) override;
    /// Returns once the value has reached the store, so a file manager that
    /// watches it sees it at once.
    Expected<void> write(const HiddenFilesSetting& setting, bool value) override;

  private:
    GDBusConnection* session_;
};

} // namespace corvane::companion
