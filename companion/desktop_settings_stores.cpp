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

/// Dolphin's view properties for every folder (used while "GlobalViewProps"
/// in dolphinrc is unset or true, the default).
std::string dolphinViewProperties() {
    return std::string(g_get_user_data_dir()) + "/dolphin/view_properties/global/.directory";
}

std::optional<bool> readDolphin(const HiddenFilesSetting& setting) {
    GKeyFile* file = g_key_file_new();
    std::optional<bool> value = false; // Dolphin's default, before anything is written
    const std::string group(setting.location), key(setting.key);
    if (g_key_file_load_from_file(file, dolphinViewProperties().c_str(), G_KEY_FILE_KEEP_COMMENTS,
                                  nullptr)) {
        GError* error = nullptr;
        gboolean shown = g_key_file_get_boolean(file, group.c_str(), key.c_str(), &error);
        if (error)
            g_error_free(error);
        else
            value = shown != FALSE;
    }
    g_key_file_free(file);
    return value;
}

/// A running Dolphin reads the file only when it opens a folder; each of its
/// windows is switched through its "show_hidden_files" action, whose trigger
/// applies the new state (and writes the same file).
void switchRunningDolphins(GDBusConnection* session, bool shown) {
    GVariant* names = g_dbus_connection_call_sync(
        session, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "ListNames", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, kXfconfTimeoutMs,
        nullptr, nullptr);
    if (!names)
        return;
    GVariantIter* iter = nullptr;
    const char* name = nullptr;
    g_variant_get(names, "(as)", &iter);
    while (g_variant_iter_next(iter, "&s", &name)) {
        if (!g_str_has_prefix(name, "org.kde.dolphin-"))
            continue;
        // Windows are numbered from 1; the first missing one ends the walk.
        for (int window = 1;; ++window) {
            const std::string path =
                "/dolphin/Dolphin_" + std::to_string(window) + "/actions/show_hidden_files";
            GVariant* checked = g_dbus_connection_call_sync(
                session, name, path.c_str(), "org.freedesktop.DBus.Properties", "Get",
                g_variant_new("(ss)", "org.qtproject.Qt.QAction", "checked"), G_VARIANT_TYPE("(v)"),
                G_DBUS_CALL_FLAGS_NONE, kXfconfTimeoutMs, nullptr, nullptr);
            if (!checked)
                break;
            GVariant* value = nullptr;
            g_variant_get(checked, "(v)", &value);
            const bool isShown =
                g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
            g_variant_unref(value);
            g_variant_unref(checked);
            if (isShown != shown)
                if (GVariant* done = g_dbus_connection_call_sync(
                        session, name, path.c_str(), "org.qtproject.Qt.QAction", "trigger", nullptr,
                        nullptr, G_DBUS_CALL_FLAGS_NONE, kXfconfTimeoutMs, nullptr, nullptr))
                    g_variant_unref(done);
        }
    }
    g_variant_iter_free(iter);
    g_variant_unref(names);
}

Expected<void> writeDolphin(const HiddenFilesSetting& setting, bool value,
                            GDBusConnection* session) {
    const std::string path = dolphinViewProperties(), group(setting.location), key(setting.key);
    GKeyFile* file = g_key_file_new();
    // Other view properties in the file stay as they are.
    g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    g_key_file_set_boolean(file, group.c_str(), key.c_str(), value);
    gchar* folder = g_path_get_dirname(path.c_str());
    GError* error = nullptr;
    if (g_mkdir_with_parents(folder, 0700) == 0)
        g_key_file_save_to_file(file, path.c_str(), &error);
    else
        g_set_error(&error, G_FILE_ERROR, G_FILE_ERROR_FAILED, "cannot make %s", folder);
    g_free(folder);
    g_key_file_free(file);
    if (error) {
        std::string why = error->message;
        g_error_free(error);
        return makeError(why);
    }
    if (session)
        switchRunningDolphins(session, value);
    return {};
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
    if (setting.store == SettingStore::DolphinViewProperties)
        return readDolphin(setting);
    if (!session_)
        return std::nullopt;
    GError* error = nullptr;
    GVariant* reply = callXfconf(session_, "GetProperty",
                                 g_variant_new("(ss)", location.c_str(), key.c_str()), &error);
    if (!reply) {
        // A fresh profile has no such property yet: hidden files are not shown.
        gchar* remote = g_dbus_error_get_remote_error(error);
        const bool unset =
            remote && std::string_view(remote) == "org.xfce.Xfconf.Error.PropertyNotFound";
        g_free(remote);
        g_error_free(error);
        return unset ? std::optional(false) : std::nullopt;
    }
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
    if (setting.store == SettingStore::DolphinViewProperties)
        return writeDolphin(setting, value, session_);
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
