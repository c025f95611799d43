#include "platform/linux/dbus_notification_center.h"

#include <gio/gio.h>
#include <giomm/dbusconnection.h>

#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace corvane {

namespace {

// Seconds between the Unix epoch and the property-list epoch (2001-01-01).
constexpr double kReferenceDateOffset = 978307200.0;
// GVariant itself refuses deeper values on receipt.
constexpr int kMaxReceiveDepth = 128;

bool isDBusString(std::string_view text) {
    // g_utf8_validate also rejects NUL bytes within the given length, which
    // a D-Bus string cannot carry either.
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

GVariant* bytesVariant(std::string_view bytes) {
    return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
}

GVariant* toVariant(const PlistValue& value, int depth);

GVariant* dictionaryVariant(const PlistDictionary& dictionary, int depth) {
    if (depth > kMaxUserInfoDepth)
        return nullptr;
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    for (const auto& [key, value] : dictionary) {
        if (!isDBusString(key))
            continue; // a key that D-Bus cannot carry
        GVariant* child = toVariant(value, depth + 1);
        if (!child) {
            g_variant_builder_clear(&builder);
            return nullptr;
        }
        g_variant_builder_add(&builder, "{sv}", key.c_str(), child);
    }
    return g_variant_builder_end(&builder);
}

GVariant* toVariant(const PlistValue& value, int depth) {
    const auto& storage = value.storage();
    if (const bool* b = std::get_if<bool>(&storage))
        return g_variant_new_boolean(*b);
    if (const std::int64_t* i = std::get_if<std::int64_t>(&storage))
        return g_variant_new_int64(*i);
    if (const double* d = std::get_if<double>(&storage))
        return g_variant_new_double(*d);
    if (const std::string* s = std::get_if<std::string>(&storage))
        return isDBusString(*s) ? g_variant_new_string(s->c_str()) : bytesVariant(*s);
    if (const PlistData* data = std::get_if<PlistData>(&storage))
        return bytesVariant(data->bytes);
    if (const PlistDate* date = std::get_if<PlistDate>(&storage))
        return g_variant_new("(d)", date->secondsSinceReferenceDate + kReferenceDateOffset);
    if (const PlistArray* array = std::get_if<PlistArray>(&storage)) {
        if (depth > kMaxUserInfoDepth)
            return nullptr;
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
        for (const PlistValue& element : *array) {
            GVariant* child = toVariant(element, depth + 1);
            if (!child) {
                g_variant_builder_clear(&builder);
                return nullptr;
            }
            g_variant_builder_add(&builder, "v", child);
        }
        return g_variant_builder_end(&builder);
    }
    return dictionaryVariant(std::get<PlistDictionary>(storage), depth);
}

std::optional<PlistValue> fromVariant(GVariant* value, int depth);

std::optional<PlistValue> dictionaryFromVariant(GVariant* value, int depth) {
    PlistDictionary dictionary;
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    while (GVariant* entry = g_variant_iter_next_value(&iter)) {
        GVariant* key = g_variant_get_child_value(entry, 0);
        GVariant* child = g_variant_get_child_value(entry, 1);
        if (auto converted = fromVariant(child, depth + 1))
            dictionary.set(g_variant_get_string(key, nullptr), std::move(*converted));
        g_variant_unref(child);
        g_variant_unref(key);
        g_variant_unref(entry);
    }
    return PlistValue(std::move(dictionary));
}

std::optional<PlistValue> arrayFromVariant(GVariant* value, int depth) {
    PlistArray array;
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    while (GVariant* child = g_variant_iter_next_value(&iter)) {
        if (auto converted = fromVariant(child, depth + 1))
            array.push_back(std::move(*converted));
        g_variant_unref(child);
    }
    return PlistValue(std::move(array));
}

std::optional<PlistValue> fromVariant(GVariant* value, int depth) {
    if (!value || depth > kMaxReceiveDepth)
        return std::nullopt;
    const GVariantType* type = g_variant_get_type(value);
    switch (g_variant_classify(value)) {
    case G_VARIANT_CLASS_BOOLEAN:
        return PlistValue(static_cast<bool>(g_variant_get_boolean(value)));
    case G_VARIANT_CLASS_BYTE:
        return PlistValue(std::int64_t{g_variant_get_byte(value)});
    case G_VARIANT_CLASS_INT16:
        return PlistValue(std::int64_t{g_variant_get_int16(value)});
    case G_VARIANT_CLASS_UINT16:
        return PlistValue(std::int64_t{g_variant_get_uint16(value)});
    case G_VARIANT_CLASS_INT32:
        return PlistValue(std::int64_t{g_variant_get_int32(value)});
    case G_VARIANT_CLASS_UINT32:
        return PlistValue(std::int64_t{g_variant_get_uint32(value)});
    case G_VARIANT_CLASS_INT64:
        return PlistValue(std::int64_t{g_variant_get_int64(value)});
    case G_VARIANT_CLASS_UINT64: {
        guint64 u = g_variant_get_uint64(value);
        if (u > static_cast<guint64>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case G_VARIANT_CLASS_DOUBLE:
        return PlistValue(g_variant_get_double(value));
    case G_VARIANT_CLASS_STRING:
    case G_VARIANT_CLASS_OBJECT_PATH:
    case G_VARIANT_CLASS_SIGNATURE:
        return PlistValue(std::string(g_variant_get_string(value, nullptr)));
    case G_VARIANT_CLASS_VARIANT: {
        GVariant* inner = g_variant_get_variant(value);
        auto converted = fromVariant(inner, depth + 1);
        g_variant_unref(inner);
        return converted;
    }
    case G_VARIANT_CLASS_MAYBE: {
        GVariant* inner = g_variant_get_maybe(value);
        if (!inner)
            return std::nullopt;
        auto converted = fromVariant(inner, depth + 1);
        g_variant_unref(inner);
        return converted;
    }
    case G_VARIANT_CLASS_ARRAY: {
        if (g_variant_type_equal(type, G_VARIANT_TYPE_BYTESTRING)) {
            gsize size = 0;
            const void* bytes = g_variant_get_fixed_array(value, &size, 1);
            return PlistValue(PlistData{std::string(static_cast<const char*>(bytes), size)});
        }
        const GVariantType* element = g_variant_type_element(type);
        if (g_variant_type_is_dict_entry(element)) {
            const GVariantType* key = g_variant_type_key(element);
            if (g_variant_type_equal(key, G_VARIANT_TYPE_STRING) ||
                g_variant_type_equal(key, G_VARIANT_TYPE_OBJECT_PATH) ||
                g_variant_type_equal(key, G_VARIANT_TYPE_SIGNATURE))
                return dictionaryFromVariant(value, depth);
            return std::nullopt;
        }
        return arrayFromVariant(value, depth);
    }
    case G_VARIANT_CLASS_TUPLE:
        if (g_variant_type_equal(type, G_VARIANT_TYPE("(d)"))) {
            double unixSeconds = 0;
            g_variant_get(value, "(d)", &unixSeconds);
            return PlistValue(PlistDate{unixSeconds - kReferenceDateOffset});
        }
        return arrayFromVariant(value, depth);
    case G_VARIANT_CLASS_HANDLE:
    case G_VARIANT_CLASS_DICT_ENTRY:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

GVariant* plistToVariant(const PlistValue& value) {
    return toVariant(value, 1);
}

GVariant* dictionaryToVariant(const PlistDictionary& dictionary) {
    return dictionaryVariant(dictionary, 1);
}

std::optional<PlistValue> plistFromVariant(GVariant* value) {
    return fromVariant(value, 1);
}

// Shared with the subscription, which GDBus may still hold after the center
// is gone.
struct DBusNotificationCenter::State {
    struct Observer {
        std::string name;
        std::shared_ptr<Handler> handler;
    };

    Glib::RefPtr<Gio::DBus::Connection> connection;
    guint subscription = 0;
    std::mutex mutex;
    std::map<ObserverId, Observer> observers;
    ObserverId nextId = 1;

    void deliver(GVariant* parameters) {
        // (s a{sv}) from us; other senders may send (s) or (s, any dictionary).
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE_TUPLE) ||
            g_variant_n_children(parameters) < 1)
            return;
        GVariant* nameValue = g_variant_get_child_value(parameters, 0);
        bool named = g_variant_is_of_type(nameValue, G_VARIANT_TYPE_STRING);
        Notification notification;
        if (named)
            notification.name = g_variant_get_string(nameValue, nullptr);
        g_variant_unref(nameValue);
        if (!named)
            return;
        if (g_variant_n_children(parameters) >= 2) {
            GVariant* info = g_variant_get_child_value(parameters, 1);
            auto converted = plistFromVariant(info);
            g_variant_unref(info);
            if (converted && converted->isDictionary())
                notification.userInfo = std::move(converted->asDictionary());
        }

        // A snapshot, so handlers may add and remove observers; each one is
        // looked up again right before its call.
        std::vector<ObserverId> ids;
        {
            std::lock_guard lock(mutex);
            for (const auto& [id, observer] : observers)
                if (observer.name.empty() || observer.name == notification.name)
                    ids.push_back(id);
        }
        for (ObserverId id : ids) {
            std::shared_ptr<Handler> handler;
            {
                std::lock_guard lock(mutex);
                auto it = observers.find(id);
                if (it == observers.end())
                    continue;
                handler = it->second.handler;
            }
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
    {
        std::lock_guard lock(state_->mutex);
        state_->observers.clear();
    }
    if (state_->subscription)
        g_dbus_connection_signal_unsubscribe(state_->connection->gobj(), state_->subscription);
    // GDBus may free the subscription's reference to the state only later,
    // from the main loop; the connection need not live that long.
    state_->connection.reset();
}

void DBusNotificationCenter::post(std::string_view name, const PlistDictionary& userInfo) {
    if (!state_->connection || !isDBusString(name))
        return;
    GVariant* info = dictionaryToVariant(userInfo);
    if (!info)
        return;
    const std::string nameText(name), interface(kInterface), member(kSignalName), path(kObjectPath);
    GError* error = nullptr;
    g_dbus_connection_emit_signal(state_->connection->gobj(), nullptr, path.c_str(),
                                  interface.c_str(), member.c_str(),
                                  g_variant_new("(s@a{sv})", nameText.c_str(), info), &error);
    // A closed connection is the only failure here; there is nobody to tell.
    if (error)
        g_error_free(error);
}

NotificationCenter::ObserverId DBusNotificationCenter::addObserver(std::string name,
                                                                   Handler handler) {
    std::lock_guard lock(state_->mutex);
    ObserverId id = state_->nextId++;
    state_->observers.emplace(
        id, State::Observer{std::move(name), std::make_shared<Handler>(std::move(handler))});
    return id;
}

void DBusNotificationCenter::removeObserver(ObserverId id) {
    std::lock_guard lock(state_->mutex);
    state_->observers.erase(id);
}

} // namespace corvane
