#include "platform/linux/freedesktop_alert.h"

#include "platform/linux/gvariant_plist.h"

#include <gio/gio.h>
#include <giomm/dbusconnection.h>

#include <ostream>

namespace corvane {

namespace {

constexpr int kNotifyTimeoutMs = 5000;
constexpr guchar kCriticalUrgency = 2;
constexpr gint32 kNeverExpires = 0;

const char* iconFor(AlertStyle style) {
    switch (style) {
    case AlertStyle::Warning:
        return "dialog-warning";
    case AlertStyle::Informational:
        return "dialog-information";
    case AlertStyle::Critical:
        return "dialog-error";
    }
    return "";
}

std::string oneLine(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

/// True when a notification server took the alert.
bool notify(GDBusConnection* connection, const Alert& alert) {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    for (std::size_t i = 0; i < alert.buttonTitles.size(); ++i) {
        // The first button is the notification's default action.
        std::string key = i == 0 ? "default" : "button" + std::to_string(i + 1);
        g_variant_builder_add(&actions, "s", key.c_str());
        g_variant_builder_add(&actions, "s", toDBusString(alert.buttonTitles[i]).c_str());
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(kCriticalUrgency));
    const std::string summary = toDBusString(alert.messageText);
    const std::string body = toDBusString(alert.informativeText);
    // (s app_name, u replaces_id, s app_icon, s summary, s body, as actions,
    //  a{sv} hints, i expire_timeout) -> (u id). Not started on demand: with
    // no server running the alert goes to the error stream at once.
    GVariant* reply = g_dbus_connection_call_sync(
        connection, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify",
        g_variant_new("(susssasa{sv}i)", "Corvane", 0u, iconFor(alert.style), summary.c_str(),
                      body.c_str(), &actions, &hints, kNeverExpires),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kNotifyTimeoutMs, nullptr, nullptr);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

} // namespace

FreedesktopAlert::FreedesktopAlert(Glib::RefPtr<Gio::DBus::Connection> connection,
                                   std::ostream& errorStream)
    : connection_(std::move(connection)), errorStream_(errorStream) {}

FreedesktopAlert::~FreedesktopAlert() = default;

void FreedesktopAlert::runModal(const Alert& alert) {
    if (connection_ && !connection_->is_closed() && notify(connection_->gobj(), alert))
        return;
    errorStream_ << oneLine(alert.messageText) << ": " << oneLine(alert.informativeText) << '\n';
    errorStream_.flush();
}

} // namespace corvane
