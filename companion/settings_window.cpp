#include "companion/settings_window.h"

#include "companion/app_services.h"
#include "companion/applications_group.h"
#include "companion/folders_group.h"
#include "extension/companion_contract.h"
#include "finderbus/finder_bus.h"
#include "platform/settings.h"

#include <glib/gstdio.h>
#include <glibmm/fileutils.h>
#include <glibmm/miscutils.h>
#include <gtkmm/application.h>
#include <gtkmm/button.h>

namespace corvane::companion {

namespace {

constexpr char kAutostartEntry[] =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Corvane+\n"
    "Comment=Keeps the Corvane+ commands in the file manager's menu\n"
    "Exec=corvane-plus --background\n"
    "Icon=Brenvo.Corvane.Plus\n"
    "NoDisplay=true\n"
    "X-GNOME-Autostart-enabled=true\n";

std::string autostartFile() {
    return Glib::build_filename(Glib::get_user_config_dir(), "autostart",
                                "Brenvo.Corvane.Plus.desktop");
}

} // namespace

std::optional<EditOutcome>
editSharedValue(AppServices& services, std::string_view key,
                const std::function<EditOutcome(std::optional<PlistValue>&)>& edit,
                const Toaster& toast) {
    auto suite = services.openSharedSuite();
    if (!suite) {
        toast(suite.error().description);
        return std::nullopt;
    }
    EditOutcome outcome = EditOutcome::Unchanged;
    auto written = (*suite)->modifyObject(
        key, [&](std::optional<PlistValue>& value) { outcome = edit(value); });
    (*suite)->synchronize();
    if (!written) {
        toast("Not saved: " + written.error().description);
        return std::nullopt;
    }
    if (outcome == EditOutcome::WrongType) {
        toast("Not saved: “" + std::string(key) +
              "” holds a value of another kind, written by another program");
        return std::nullopt;
    }
    return outcome;
}

SettingsWindow::SettingsWindow(Gtk::Application& app, AppServices& services,
                               GDBusConnection* session, std::function<void()> quit)
    : services_(services), window_(adw_preferences_window_new()), quit_(std::move(quit)) {
    g_object_ref_sink(window_);
    gtk_window_set_title(GTK_WINDOW(window_), "Corvane+ Settings");
    gtk_window_set_default_size(GTK_WINDOW(window_), 600, 740);
    gtk_window_set_hide_on_close(GTK_WINDOW(window_), TRUE);
    adw_preferences_window_set_search_enabled(ADW_PREFERENCES_WINDOW(window_), FALSE);
    gtk_window_set_application(GTK_WINDOW(window_), app.gobj());

    // Two pages, each short enough to be seen whole: what the menu offers
    // and where it may write; the programs it starts and the app itself.
    auto addPage = [this](const char* title, const char* icon) {
        GtkWidget* page = adw_preferences_page_new();
        adw_preferences_page_set_title(ADW_PREFERENCES_PAGE(page), title);
        adw_preferences_page_set_use_underline(ADW_PREFERENCES_PAGE(page), TRUE);
        adw_preferences_page_set_icon_name(ADW_PREFERENCES_PAGE(page), icon);
        adw_preferences_window_add(ADW_PREFERENCES_WINDOW(window_), ADW_PREFERENCES_PAGE(page));
        return page;
    };
    GtkWidget* menuPage = addPage("_Menu", "view-list-bullet-symbolic");
    GtkWidget* generalPage = addPage("_General", "emblem-system-symbolic");
    buildMenuGroup(menuPage);
    Toaster toaster = [this](const std::string& text) { toast(text); };
    folders_ = std::make_unique<FoldersGroup>(services, GTK_WINDOW(window_), toaster);
    adw_preferences_page_add(ADW_PREFERENCES_PAGE(menuPage),
                             ADW_PREFERENCES_GROUP(folders_->widget()));
    applications_ = std::make_unique<ApplicationsGroup>(services, toaster);
    adw_preferences_page_add(ADW_PREFERENCES_PAGE(generalPage),
                             ADW_PREFERENCES_GROUP(applications_->widget()));
    buildGeneralGroup(generalPage);

    extensionWatch_ = g_bus_watch_name_on_connection(
        session, finderbus::kBusName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer row) {
            adw_action_row_set_subtitle(ADW_ACTION_ROW(row),
                                        "corvane-findersync answers on the session bus.");
        },
        [](GDBusConnection*, const gchar*, gpointer row) {
            adw_action_row_set_subtitle(ADW_ACTION_ROW(row),
                                        "corvane-findersync is not running: the file manager "
                                        "starts it when it next asks for a menu.");
        },
        extensionRow_, nullptr);
}

SettingsWindow::~SettingsWindow() {
    if (extensionWatch_)
        g_bus_unwatch_name(extensionWatch_);
    gtk_window_destroy(GTK_WINDOW(window_));
    g_object_unref(window_);
}

void SettingsWindow::present() {
    refreshMenu();
    folders_->refresh();
    applications_->refresh();
    updating_ = true;
    autostart_->set_active(Glib::file_test(autostartFile(), Glib::FileTest::EXISTS));
    updating_ = false;
    gtk_window_present(GTK_WINDOW(window_));
}

void SettingsWindow::toast(const std::string& text) {
    adw_preferences_window_add_toast(ADW_PREFERENCES_WINDOW(window_), adw_toast_new(text.c_str()));
}

void SettingsWindow::buildMenuGroup(GtkWidget* page) {
    menuGroup_ = adw_preferences_group_new();
    adw_preferences_group_set_title(ADW_PREFERENCES_GROUP(menuGroup_), "Menu Commands");
    for (const OptionSwitch& option : optionsView(std::nullopt, std::nullopt).switches) {
        const std::string title(option.title);
        GtkWidget* row = makeRow(title);
        Gtk::Switch& toggle = addSwitch(row);
        toggle.property_active().signal_changed().connect([this, key = option.key, &toggle] {
            if (updating_)
                return;
            const bool on = toggle.get_active();
            editSharedValue(
                services_, contract::kMenuOptionsKey,
                [&](std::optional<PlistValue>& value) { return switchOption(value, key, on); },
                [this](const std::string& text) { toast(text); });
            refreshMenu();
        });
        switches_.emplace_back(option.key, &toggle);
        adw_preferences_group_add(ADW_PREFERENCES_GROUP(menuGroup_), row);
    }
    adw_preferences_page_add(ADW_PREFERENCES_PAGE(page), ADW_PREFERENCES_GROUP(menuGroup_));
}

void SettingsWindow::refreshMenu() {
    std::optional<PlistValue> stored;
    if (auto suite = services_.openSharedSuite())
        stored = (*suite)->objectForKey(contract::kMenuOptionsKey);
    const OptionsView view = optionsView(services_.optionsFileRoot(), stored);
    const char* description = "The commands of the file manager's context menu. A change "
                              "shows in the next menu.";
    if (view.source == OptionsSource::File)
        description = "“MenuOptions.plist” in the shared folder decides the menu; these "
                      "switches take effect once it is removed.";
    else if (view.sharedValueUnusable)
        description = "The stored options were written by another program in a form that "
                      "cannot be changed here; the menu shows the defaults.";
    adw_preferences_group_set_description(ADW_PREFERENCES_GROUP(menuGroup_), description);
    const bool editable = view.source != OptionsSource::File && !view.sharedValueUnusable;
    updating_ = true;
    for (std::size_t i = 0; i < switches_.size(); ++i) {
        switches_[i].second->set_active(view.switches[i].on);
        switches_[i].second->set_sensitive(editable);
    }
    updating_ = false;
}

void SettingsWindow::buildGeneralGroup(GtkWidget* page) {
    GtkWidget* group = adw_preferences_group_new();
    adw_preferences_group_set_title(ADW_PREFERENCES_GROUP(group), "General");

    const std::string login = "Start at _login";
    GtkWidget* row = makeRow(login, "Corvane+ starts in the background when you log in.");
    autostart_ = &addSwitch(row);
    autostart_->property_active().signal_changed().connect([this] {
        if (updating_)
            return;
        const std::string file = autostartFile();
        try {
            if (autostart_->get_active()) {
                g_mkdir_with_parents(Glib::path_get_dirname(file).c_str(), 0700);
                Glib::file_set_contents(file, kAutostartEntry);
            } else if (g_unlink(file.c_str()) != 0 && errno != ENOENT) {
                throw Glib::FileError(Glib::FileError::FAILED, g_strerror(errno));
            }
        } catch (const Glib::Error& error) {
            toast(file + ": " + error.what());
        }
        updating_ = true;
        autostart_->set_active(Glib::file_test(file, Glib::FileTest::EXISTS));
        updating_ = false;
    });
    adw_preferences_group_add(ADW_PREFERENCES_GROUP(group), row);

    extensionRow_ = makeRow("Extension");
    adw_preferences_group_add(ADW_PREFERENCES_GROUP(group), extensionRow_);

    GtkWidget* quitRow = makeRow(
        "_Quit Corvane+", "The file manager shows no Corvane+ commands until it runs again.");
    auto* quit = Gtk::make_managed<Gtk::Button>("Quit");
    quit->set_valign(Gtk::Align::CENTER);
    quit->signal_clicked().connect([this] { quit_(); });
    adw_action_row_add_suffix(ADW_ACTION_ROW(quitRow), GTK_WIDGET(quit->gobj()));
    adw_action_row_set_activatable_widget(ADW_ACTION_ROW(quitRow), GTK_WIDGET(quit->gobj()));
    adw_preferences_group_add(ADW_PREFERENCES_GROUP(group), quitRow);
    adw_preferences_page_add(ADW_PREFERENCES_PAGE(page), ADW_PREFERENCES_GROUP(group));
}

} // namespace corvane::companion
