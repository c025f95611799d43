#include "integrations/nautilus/finder_bus_client.h"

#include <algorithm>

namespace corvane::nautilus {

namespace {

GVariant* newPathArray(const std::vector<std::string>& paths) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("aay"));
    // Raw bytes without a terminating NUL: file names need not be UTF-8.
    for (const std::string& path : paths)
        g_variant_builder_add_value(
            &builder, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, path.data(), path.size(), 1));
    return g_variant_builder_end(&builder);
}

GVariant* newTargetArray(const std::optional<std::string>& targeted) {
    return newPathArray(targeted ? std::vector<std::string>{*targeted}
                                 : std::vector<std::string>{});
}

std::vector<MenuEntry> entriesFromReply(GVariant* reply) {
    std::vector<MenuEntry> entries;
    gboolean hasMenu = FALSE;
    g_variant_get_child(reply, 0, "b", &hasMenu);
    if (!hasMenu)
        return entries;
    GVariant* items = g_variant_get_child_value(reply, 2);
    GVariantIter iter;
    g_variant_iter_init(&iter, items);
    gboolean separator = FALSE;
    gboolean enabled = FALSE;
    const char* title = nullptr;
    const char* action = nullptr;
    while (g_variant_iter_next(&iter, "(b&s&sssssbb)", &separator, &title, &action, nullptr,
                               nullptr, nullptr, nullptr, nullptr, &enabled)) {
        if (!separator)
            entries.push_back({title, action, enabled != FALSE});
    }
    g_variant_unref(items);
    return entries;
}

void onActionReply(GObject* source, GAsyncResult* result, gpointer data) {
    char* selector = static_cast<char*>(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
    } else {
        g_warning("%s failed: %s", selector, error->message);
        g_error_free(error);
    }
    g_free(selector);
}

} // namespace

std::string itemName(MenuKind kind, std::string_view selector,
                     const std::vector<std::string>& taken) {
    std::string name = kind == MenuKind::Items ? "CorvaneFinderSync::selection-"
                                               : "CorvaneFinderSync::background-";
    // Letters and digits only: the name becomes part of an action name.
    if (selector.empty())
        name += "status";
    for (char c : selector) {
        if (g_ascii_isalnum(c))
            name += c;
    }
    const std::string base = name;
    for (int n = 2; std::ranges::find(taken, name) != taken.end(); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

std::vector<MenuEntry> askForMenu(GDBusConnection* bus, MenuKind kind,
                                  const RequestContext& context) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, finderbus::kBusName, finderbus::kObjectPath, finderbus::kInterface,
        finderbus::kGetMenu,
        g_variant_new("(u@aay@aay)", static_cast<guint32>(kind), newTargetArray(context.targeted),
                      newPathArray(context.selected)),
        G_VARIANT_TYPE(finderbus::kMenuReplyType), G_DBUS_CALL_FLAGS_NONE, kMenuTimeoutMs, nullptr,
        &error);
    if (reply == nullptr) {
        // Normal while the extension is not running or still starting: no
        // items, and nothing louder than a debug line on every selection change.
        g_debug("no menu: %s", error->message);
        g_error_free(error);
        return {};
    }
    std::vector<MenuEntry> entries = entriesFromReply(reply);
    g_variant_unref(reply);
    return entries;
}

MenuWatch::MenuWatch(GDBusConnection* bus, void (*changed)(gpointer data), gpointer data)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), changed_(changed), data_(data) {
    // The owner of the name changes when the process starts or ends.
    ownerChanged_ = g_dbus_connection_signal_subscribe(
        bus_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
        "/org/freedesktop/DBus", finderbus::kBusName, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this,
        nullptr);
    menuChanged_ = g_dbus_connection_signal_subscribe(
        bus_, nullptr, finderbus::kInterface, finderbus::kMenuChanged, finderbus::kObjectPath,
        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr);
}

MenuWatch::~MenuWatch() {
    g_dbus_connection_signal_unsubscribe(bus_, ownerChanged_);
    g_dbus_connection_signal_unsubscribe(bus_, menuChanged_);
    g_object_unref(bus_);
}

void MenuWatch::onSignal(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, gpointer watch) {
    auto* self = static_cast<MenuWatch*>(watch);
    self->changed_(self->data_);
}

void performAction(GDBusConnection* bus, const std::string& selector,
                   const RequestContext& context) {
    // No timeout: a batch rename may take long, and nothing waits for it.
    g_dbus_connection_call(bus, finderbus::kBusName, finderbus::kObjectPath, finderbus::kInterface,
                           finderbus::kPerformAction,
                           g_variant_new("(s@aay@aay)", selector.c_str(),
                                         newTargetArray(context.targeted),
                                         newPathArray(context.selected)),
                           G_VARIANT_TYPE_UNIT, G_DBUS_CALL_FLAGS_NONE, G_MAXINT, nullptr,
                           onActionReply, g_strdup(selector.c_str()));
}

} // namespace corvane::nautilus
