#pragma once

// The settings window: the menu commands as switches, the granted folders,
// the terminal and editor, start at login, and whether the extension answers.

#include "companion/adw_rows.h"
#include "companion/model/options_model.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace Gtk {
class Application;
}

namespace corvane::companion {

class AppServices;
class ApplicationsGroup;
class FoldersGroup;

/// Edits the value under `key` of the shared settings as the file holds it
/// now, under the suite's lock, and synchronizes. Tells `toast` why when the
/// suite cannot be used or the stored value has another type; none then.
std::optional<EditOutcome>
editSharedValue(AppServices& services, std::string_view key,
                const std::function<EditOutcome(std::optional<PlistValue>&)>& edit,
                const Toaster& toast);

class SettingsWindow {
  public:
    /// `services` and `session` must outlive the window. `quit` ends the app.
    SettingsWindow(Gtk::Application& app, AppServices& services, GDBusConnection* session,
                   std::function<void()> quit);
    ~SettingsWindow();

    /// Reads the settings again and brings the window to the front.
    void present();

  private:
    void buildMenuGroup(GtkWidget* page);
    void buildGeneralGroup(GtkWidget* page);
    void refreshMenu();
    void toast(const std::string& text);

    AppServices& services_;
    GtkWidget* window_;
    GtkWidget* menuGroup_ = nullptr;
    GtkWidget* extensionRow_ = nullptr;
    std::vector<std::pair<std::string_view, Gtk::Switch*>> switches_;
    Gtk::Switch* autostart_ = nullptr;
    bool updating_ = false;
    guint extensionWatch_ = 0;
    std::function<void()> quit_;
    std::unique_ptr<FoldersGroup> folders_;
    std::unique_ptr<ApplicationsGroup> applications_;
};

} // namespace corvane::companion
