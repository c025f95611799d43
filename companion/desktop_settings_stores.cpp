#include "companion/desktop_settings_stores.h"

#include <gio/gio.h>

#include <memory>
#include <string>

namespace corvane::companion {

namespace {

constexpr int kXfconfTimeoutMs = 2000;

template <typename T> struct Unref {
    void operator()(T* object) const { g_object_unref(object); }
};
using SettingsPtr = std::unique_ptr<GSettings, Unref<GSettings>>;

/// The settings object of the row's schema when it has the key as a boolean;
/// null otherwise
/// (g_settings_new aborts the process on a schema that is not installed).
SettingsPtr settingsFor(const HiddenFilesSetting& setting) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    const std::string schemaId(setting.location), key(setting.key);
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, schemaId.c_str(), TRUE) : nullptr;
    if (!schema)
        return nullptr;
    SettingsPtr settings;
    if (g_settings_schema_has_key(schema, key.c_str())) {
        GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key.c_str());
        if (g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey),
                                 G_VARIANT_TYPE_BOOLEAN))
            settings.reset(g_settings_new_full(schema, nullptr, nullptr));
        g_settings_schema_key_unref(schemaKey);
    }
    g_settings_schema_unref(schema);
    return settings;
}

GVariant* callXfconf(GDBusConnection* session, const char* method, GVariant* parameters,
                     GError** error) {
    return g_dbus_connection_call_sync(session, "org.xfce.Xfconf", "/org/xfce/Xfconf",
                                       "org.xfce.Xfconf", method, parameters, nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, kXfconfTimeoutMs, nullptr, error);
}

bool installed(const HiddenFilesSetting& setting) {
    gchar* found = g_find_program_in_path(std::string(setting.program).c_str());
    g_free(found);
    return found != nullptr;
}

} // namespace

std::optional<bool> DesktopSettingsStores::read(const HiddenFilesSetting& setting) {
    if (!installed(setting))
        return std::nullopt;
    const std::string location(setting.location), key(setting.key);
    if (setting.store == SettingStore::GSettings) {
        SettingsPtr settings = settingsFor(setting);
        if (!settings)
            return std::nullopt;
        return g_settings_get_boolean(settings.get(), key.c_str()) != FALSE;
    }
    if (!session_)
        return std::nullopt;
    GVariant* reply = callXfconf(session_, "GetProperty",
                                 g_variant_new("(ss)", location.c_str(), key.c_str()), nullptr);
    if (!reply)
        return std::nullopt;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::optional<bool> flag;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
        flag = g_variant_get_boolean(value) != FALSE;
    g_variant_unref(value);
    g_variant_unref(reply);
    return flag;
}

Expected<void> DesktopSettingsStores::write(const HiddenFilesSetting& setting, bool value) {
    const std::string location(setting.location), key(setting.key);
    if (setting.store == SettingStore::GSettings) {
        SettingsPtr settings = settingsFor(setting);
        if (!settings || !g_settings_set_boolean(settings.get(), key.c_str(), value))
            return makeError("the key " + key + " of " + location + " cannot be written");
        g_settings_sync();
        return {};
    }
    if (!session_)
        return makeError("there is no session bus");
    GError* error = nullptr;
    GVariant* reply = callXfconf(
        session_, "SetProperty",
        g_variant_new("(ssv)", location.c_str(), key.c_str(), g_variant_new_boolean(value)),
        &error);
    if (!reply) {
        std::string why = error->message;
        g_error_free(error);
        return makeError(why);
    }
    g_variant_unref(reply);
    return {};
}

} // namespace corvane::companion
