#include "platform/linux/dbus_notification_center.h"

#include "platform/linux/gvariant_plist.h"

#include <gio/gio.h>
#include <giomm/dbusconnection.h>

#include <map>
#include <string>
#include <vector>

namespace corvane {

// Shared with the subscription, which GDBus may still hold after the center
// is gone.
struct DBusNotificationCenter::State {
    struct Observer {
        std::string name;
        std::shared_ptr<Handler> handler;
    };

    Glib::RefPtr<Gio::DBus::Connection> connection;
    guint subscription = 0;
    std::map<ObserverId, Observer> observers;
    ObserverId nextId = 1;

    void deliver(GVariant* parameters) {
        // (s a{sv}) from us; other senders may send (s) or (s, any dictionary).
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE_TUPLE) ||
            g_variant_n_children(parameters) < 1)
            return;
        Glib::VariantBase nameValue(g_variant_get_child_value(parameters, 0));
        if (!g_variant_is_of_type(nameValue.gobj(), G_VARIANT_TYPE_STRING))
            return;
        Notification notification;
        notification.name = g_variant_get_string(nameValue.gobj(), nullptr);
        if (g_variant_n_children(parameters) >= 2) {
            auto converted =
                plistFromVariant(Glib::VariantBase(g_variant_get_child_value(parameters, 1)));
            if (converted && converted->isDictionary())
                notification.userInfo = std::move(converted->asDictionary());
        }

        // A snapshot, so handlers may add and remove observers; each one is
        // looked up again right before its call.
        std::vector<ObserverId> ids;
        for (const auto& [id, observer] : observers)
            if (observer.name.empty() || observer.name == notification.name)
                ids.push_back(id);
        for (ObserverId id : ids) {
            auto it = observers.find(id);
            if (it == observers.end())
                continue;
            // Held here, so a handler that removes itself outlives its call.
            std::shared_ptr<Handler> handler = it->second.handler;
            try {
                (*handler)(notification);
            } catch (...) {
                // One failing observer must not keep the others from theirs.
            }
        }
    }
};

DBusNotificationCenter::DBusNotificationCenter(Glib::RefPtr<Gio::DBus::Connection> connection)
    : state_(std::make_shared<State>()) {
    state_->connection = std::move(connection);
    if (!state_->connection)
        return;
    using StateRef = std::shared_ptr<State>;
    auto onSignal = +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                        GVariant* parameters, gpointer data) {
        try {
            (*static_cast<StateRef*>(data))->deliver(parameters);
        } catch (...) {
            // Nothing may escape into GDBus.
        }
    };
    auto deleteStateRef = +[](gpointer data) { delete static_cast<StateRef*>(data); };
    const std::string interface(kInterface), member(kSignalName), path(kObjectPath);
    state_->subscription = g_dbus_connection_signal_subscribe(
        state_->connection->gobj(), nullptr, interface.c_str(), member.c_str(), path.c_str(),
        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, new StateRef(state_), deleteStateRef);
}

DBusNotificationCenter::~DBusNotificationCenter() {
    state_->observers.clear();
    if (state_->subscription)
        g_dbus_connection_signal_unsubscribe(state_->connection->gobj(), state_->subscription);
    // GDBus may free the subscription's reference to the state only later,
    // from the main loop; the connection need not live that long.
    state_->connection.reset();
}

void DBusNotificationCenter::post(std::string_view name, const PlistDictionary& userInfo) {
    if (!state_->connection || !isDBusString(name))
        return;
    Expected<Glib::VariantBase> info = dictionaryToVariant(userInfo);
    if (!info)
        return;
    const std::string nameText(name), interface(kInterface), member(kSignalName), path(kObjectPath);
    GError* error = nullptr;
    g_dbus_connection_emit_signal(
        state_->connection->gobj(), nullptr, path.c_str(), interface.c_str(), member.c_str(),
        g_variant_new("(s@a{sv})", nameText.c_str(), info->gobj()), &error);
    // A closed connection is the only failure here; there is nobody to tell.
    if (error)
        g_error_free(error);
}

NotificationCenter::ObserverId DBusNotificationCenter::addObserver(std::string name,
                                                                   Handler handler) {
    ObserverId id = state_->nextId++;
    state_->observers.emplace(
        id, State::Observer{std::move(name), std::make_shared<Handler>(std::move(handler))});
    return id;
}

void DBusNotificationCenter::removeObserver(ObserverId id) {
    state_->observers.erase(id);
}

} // namespace corvane
