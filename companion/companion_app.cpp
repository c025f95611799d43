#include "companion/companion_app.h"

#include "companion/app_services.h"
#include "companion/desktop_settings_stores.h"
#include "companion/model/extension_requests.h"
#include "companion/model/hidden_files_settings.h"
#include "companion/rename_dialog.h"
#include "companion/settings_window.h"
#include "companion/status_icon.h"
#include "extension/companion_contract.h"
#include "platform/settings.h"

#include <adwaita.h>
#include <giomm/dbusconnection.h>
#include <giomm/notification.h>
#include <glib-unix.h>
#include <glibmm/keyfile.h>
#include <glibmm/miscutils.h>
#include <glibmm/optiongroup.h>
#include <gtkmm/application.h>

#include <csignal>
#include <iostream>
#include <utility>

namespace corvane::companion {

namespace {

constexpr char kAppId[] = "Brenvo.Corvane.Plus";
constexpr char kStateGroup[] = "Batch Rename";
constexpr char kSeenRequestKey[] = "LastRequestId";

std::string stateFile() {
    return Glib::build_filename(g_get_user_state_dir(), "corvane", "corvane-plus.ini");
}

std::string seenRequestId() {
    try {
        auto state = Glib::KeyFile::create();
        state->load_from_file(stateFile());
        return state->get_string(kStateGroup, kSeenRequestKey);
    } catch (const Glib::Error&) {
        return {};
    }
}

/// Runs `body`, reporting what escapes it instead of letting it out of a
/// GLib callback, which would skip the rest of the callback silently.
template <typename Body> void guarded(const char* what, Body&& body) {
    try {
        body();
    } catch (const std::exception& error) { // Glib::Error included
        std::cerr << "corvane-plus: " << what << ": " << error.what() << std::endl;
    }
}

} // namespace

CompanionApp::CompanionApp() = default;
CompanionApp::~CompanionApp() = default;

int CompanionApp::run(int argc, char** argv) {
    Glib::set_application_name("Corvane+");
    app_ = Gtk::Application::create(kAppId);
    app_->property_register_session() = true;
    app_->add_main_option_entry(Gio::Application::OptionType::BOOL, "background", '\0',
                                "Start without a window, as at login");
    app_->signal_handle_local_options().connect(
        sigc::mem_fun(*this, &CompanionApp::handleLocalOptions), false);
    app_->signal_startup().connect([this] { guarded("start-up", [this] { startUp(); }); });
    app_->signal_activate().connect([this] { guarded("activation", [this] { activate(); }); });
    app_->signal_shutdown().connect([this] { guarded("shutdown", [this] { shutDown(); }); });
    const int status = app_->run(argc, argv);
    // The windows go before the services they refer to.
    rename_.reset();
    settings_.reset();
    icon_.reset();
    return status;
}

int CompanionApp::handleLocalOptions(const Glib::RefPtr<Glib::VariantDict>& options) {
    background_ = options->contains("background");
    try {
        app_->register_application();
    } catch (const Glib::Error& error) {
        std::cerr << "corvane-plus: " << error.what() << std::endl;
        return 1;
    }
    if (app_->is_remote())
        return background_ ? 0 : -1; // -1: the running instance presents its window
    if (!started_) {
        if (!app_->get_dbus_connection())
            std::cerr << "corvane-plus: there is no session bus to reach the extension on"
                      << std::endl;
        return 1;
    }
    return -1;
}

void CompanionApp::startUp() {
    Glib::RefPtr<Gio::DBus::Connection> session = app_->get_dbus_connection();
    if (!session)
        return;
    adw_init();
    services_ = std::make_unique<AppServices>(session);
    stores_ = std::make_unique<DesktopSettingsStores>(session->gobj());
    rename_ = std::make_unique<RenameDialog>(
        [this](const std::vector<std::string>& paths, std::string_view baseName) {
            return previewRename(paths, baseName, services_->files(), services_->security());
        },
        [this](std::optional<RenameAnswer> answer) {
            if (answer)
                services_->notifications().post(contract::kBatchRenameExecuteNotification,
                                                executeUserInfo(answer->baseName, answer->paths));
            storedRequestSeen();
        });

    app_->add_action("settings", [this] { activate(); });
    app_->add_action("quit", [this] { app_->quit(); });
    app_->set_accel_for_action("app.quit", "<Primary>q");
    // Observers first: a request posted from here on reaches us, and one
    // posted before is still stored as a record.
    observe();
    writeRunning(true);
    takeUpStoredRequest();

    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        signalSources_.push_back(g_unix_signal_add(
            signal,
            [](gpointer app) -> gboolean {
                static_cast<Gtk::Application*>(app)->quit();
                return G_SOURCE_CONTINUE;
            },
            app_.get()));
    // The session is over when its bus goes.
    session->signal_closed().connect([this](bool, const Glib::Error&) { app_->quit(); });
    icon_ = std::make_unique<StatusIcon>(
        session->gobj(), kAppId,
        StatusIcon::Actions{[this] { activate(); }, [this] { app_->quit(); }});
    app_->hold();
    started_ = true;
}

void CompanionApp::activate() {
    if (std::exchange(background_, false) || !services_)
        return;
    if (!settings_)
        settings_ = std::make_unique<SettingsWindow>(
            *app_, *services_, app_->get_dbus_connection()->gobj(), [this] { app_->quit(); });
    settings_->present();
}

void CompanionApp::shutDown() {
    if (!services_)
        return;
    for (unsigned source : signalSources_)
        g_source_remove(source);
    for (NotificationCenter::ObserverId id : observers_)
        services_->notifications().removeObserver(id);
    if (rename_)
        rename_->close();
    storedRequestSeen();
    writeRunning(false);
    // Whatever was posted last must leave before the process does.
    if (auto session = app_->get_dbus_connection())
        session->flush_sync();
}

void CompanionApp::observe() {
    NotificationCenter& center = services_->notifications();
    auto on = [&](std::string_view name, auto handler) {
        observers_.push_back(center.addObserver(
            std::string(name), [this, handler](const Notification& notification) {
                guarded(notification.name.c_str(),
                        [&] { (this->*handler)(notification.userInfo); });
            }));
    };
    on(contract::kBatchRenameRequestNotification, &CompanionApp::handleRenameRequest);
    on(contract::kBatchRenameResultNotification, &CompanionApp::handleResult);
    on(contract::kOpenInVSCodeNotification, &CompanionApp::showFeedback);
    observers_.push_back(center.addObserver(
        std::string(contract::kHiddenFilesToggleNotification),
        [this](const Notification&) { guarded("hidden files", [this] { toggleHiddenFiles(); }); }));
}

void CompanionApp::writeRunning(bool running) {
    auto suite = services_->openSharedSuite();
    auto written = suite ? (*suite)->setObject(running, contract::kAppRunningKey)
                         : Expected<void>(std::unexpected(suite.error()));
    if (!written) {
        std::cerr << "corvane-plus: cannot store “" << contract::kAppRunningKey
                  << "”: " << written.error().description << std::endl;
        return;
    }
    (*suite)->synchronize();
}

void CompanionApp::takeUpStoredRequest() {
    auto suite = services_->openSharedSuite();
    if (!suite)
        return;
    auto record = (*suite)->dictionaryForKey(contract::kBatchRenameRequestKey);
    if (!record)
        return;
    std::optional<std::string> id = recordId(*record);
    if (id && *id != seenRequestId())
        handleRenameRequest(*record);
}

void CompanionApp::storedRequestSeen() {
    auto suite = services_->openSharedSuite();
    if (!suite)
        return;
    auto record = (*suite)->dictionaryForKey(contract::kBatchRenameRequestKey);
    std::optional<std::string> id = record ? recordId(*record) : std::nullopt;
    if (!id || *id == seenRequestId())
        return;
    guarded("remembering the request", [&] {
        auto state = Glib::KeyFile::create();
        state->set_string(kStateGroup, kSeenRequestKey, *id);
        g_mkdir_with_parents(Glib::path_get_dirname(stateFile()).c_str(), 0700);
        state->save_to_file(stateFile());
    });
}

void CompanionApp::handleRenameRequest(const PlistDictionary& userInfo) {
    ExtensionRequest request = readExtensionRequest(userInfo);
    if (auto* rename = std::get_if<RenameRequest>(&request))
        rename_->show(*rename);
    else if (auto* message = std::get_if<FeedbackMessage>(&request))
        rename_->showMessage(message->text);
}

void CompanionApp::handleResult(const PlistDictionary& userInfo) {
    notify("batch-rename-result", renameResultText(userInfo));
}

void CompanionApp::showFeedback(const PlistDictionary& userInfo) {
    ExtensionRequest request = readExtensionRequest(userInfo);
    if (auto* message = std::get_if<FeedbackMessage>(&request))
        notify("open-in-vscode", {"Open in Visual Studio Code", message->text});
}

void CompanionApp::toggleHiddenFiles() {
    ToggleOutcome outcome = companion::toggleHiddenFiles(hiddenFilesSettings(), *stores_);
    if (!outcome.shown) {
        notify("hidden-files",
               {"Show/Hide Hidden Files", "No file manager's setting for hidden files was found."});
        return;
    }
    std::string failures;
    for (const std::string& failure : outcome.failures)
        failures += (failures.empty() ? "" : "\n") + failure;
    if (!failures.empty())
        notify("hidden-files", {"Hidden files were not switched everywhere", failures});
}

void CompanionApp::notify(const std::string& id, const NotificationText& text) {
    auto notification = Gio::Notification::create(text.summary);
    if (!text.body.empty())
        notification->set_body(text.body);
    app_->send_notification(id, notification);
}

} // namespace corvane::companion
