#include "companion/status_icon.h"

#include <gio/gio.h>

namespace corvane::companion {

namespace {

constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kMenuPath[] = "/StatusNotifierItem/Menu";
constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";

constexpr char kIntrospection[] = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
  </interface>
  <interface name="com.canonical.dbusmenu">
    <method name="GetLayout">
      <arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="as" direction="in"/>
      <arg type="u" direction="out"/><arg type="(ia{sv}av)" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg type="ai" direction="in"/><arg type="as" direction="in"/>
      <arg type="a(ia{sv})" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg type="i" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/>
    </method>
    <method name="Event">
      <arg type="i" direction="in"/><arg type="s" direction="in"/>
      <arg type="v" direction="in"/><arg type="u" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg type="a(isvu)" direction="in"/><arg type="ai" direction="out"/>
    </method>
    <method name="AboutToShow"><arg type="i" direction="in"/><arg type="b" direction="out"/></method>
    <method name="AboutToShowGroup">
      <arg type="ai" direction="in"/><arg type="ai" direction="out"/><arg type="ai" direction="out"/>
    </method>
    <signal name="LayoutUpdated"><arg type="u"/><arg type="i"/></signal>
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
  </interface>
</node>)xml";

// The menu: a root (0) holding two items.
enum MenuItem : gint32 { kRoot = 0, kSettings = 1, kQuit = 2 };

GVariant* itemProperties(gint32 id) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    if (id == kRoot)
        g_variant_builder_add(&properties, "{sv}", "children-display",
                              g_variant_new_string("submenu"));
    else
        g_variant_builder_add(&properties, "{sv}", "label",
                              g_variant_new_string(id == kSettings ? "_Settings…" : "_Quit"));
    return g_variant_builder_end(&properties);
}

GVariant* layout(gint32 id) {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    if (id == kRoot) {
        g_variant_builder_add(&children, "v", layout(kSettings));
        g_variant_builder_add(&children, "v", layout(kQuit));
    }
    return g_variant_new("(i@a{sv}av)", id, itemProperties(id), &children);
}

bool isItem(gint32 id) {
    return id == kRoot || id == kSettings || id == kQuit;
}

} // namespace

struct StatusIcon::State {
    GDBusConnection* session = nullptr;
    std::string iconName;
    Actions actions;
    GDBusNodeInfo* node = nullptr;
    guint itemObject = 0, menuObject = 0, watch = 0;
    // Held while a queued action may still run.
    gint refs = 1;

    void runLater(gint32 item) {
        g_atomic_int_inc(&refs);
        auto* request = new std::pair<State*, gint32>(this, item);
        g_idle_add(
            [](gpointer data) -> gboolean {
                auto* request = static_cast<std::pair<State*, gint32>*>(data);
                State* state = request->first;
                if (state->session) {
                    auto& action = request->second == kSettings ? state->actions.showSettings
                                                                : state->actions.quit;
                    if (action)
                        action();
                }
                unref(state);
                delete request;
                return G_SOURCE_REMOVE;
            },
            request);
    }
    static void unref(State* state) {
        if (g_atomic_int_dec_and_test(&state->refs))
            delete state;
    }
};

namespace {

void itemCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
              GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
    auto* state = static_cast<StatusIcon::State*>(data);
    if (g_str_equal(method, "Activate") || g_str_equal(method, "SecondaryActivate"))
        state->runLater(kSettings);
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* itemProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* name, GError** error, gpointer data) {
    auto* state = static_cast<StatusIcon::State*>(data);
    const char* text = nullptr;
    if (g_str_equal(name, "Category"))
        text = "ApplicationStatus";
    else if (g_str_equal(name, "Id"))
        text = "Brenvo.Corvane.Plus";
    else if (g_str_equal(name, "Title"))
        text = "Corvane+";
    else if (g_str_equal(name, "Status"))
        text = "Active";
    else if (g_str_equal(name, "IconName"))
        text = state->iconName.c_str();
    else if (g_str_equal(name, "IconThemePath") || g_str_equal(name, "AttentionIconName") ||
             g_str_equal(name, "OverlayIconName"))
        text = "";
    if (text)
        return g_variant_new_string(text);
    if (g_str_equal(name, "WindowId"))
        return g_variant_new_int32(0);
    if (g_str_equal(name, "Menu"))
        return g_variant_new_object_path(kMenuPath);
    if (g_str_equal(name, "ItemIsMenu"))
        return g_variant_new_boolean(FALSE);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
    return nullptr;
}

void menuCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* state = static_cast<StatusIcon::State*>(data);
    if (g_str_equal(method, "GetLayout")) {
        gint32 parent = 0;
        g_variant_get_child(parameters, 0, "i", &parent);
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(u@(ia{sv}av))", 1u, layout(isItem(parent) ? parent : 0)));
    } else if (g_str_equal(method, "GetGroupProperties")) {
        GVariantIter* ids = nullptr;
        g_variant_get_child(parameters, 0, "ai", &ids);
        GVariantBuilder result;
        g_variant_builder_init(&result, G_VARIANT_TYPE("a(ia{sv})"));
        for (gint32 id; g_variant_iter_next(ids, "i", &id);)
            if (isItem(id))
                g_variant_builder_add(&result, "(i@a{sv})", id, itemProperties(id));
        g_variant_iter_free(ids);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(ia{sv}))", &result));
    } else if (g_str_equal(method, "GetProperty")) {
        gint32 id = 0;
        const gchar* name = nullptr;
        g_variant_get(parameters, "(i&s)", &id, &name);
        GVariant* value = nullptr;
        if (isItem(id)) {
            GVariant* properties = g_variant_ref_sink(itemProperties(id));
            value = g_variant_lookup_value(properties, name, nullptr);
            g_variant_unref(properties);
        }
        if (value)
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
        else
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR,
                                                  G_DBUS_ERROR_INVALID_ARGS, "No such property");
    } else if (g_str_equal(method, "Event")) {
        gint32 id = 0;
        const gchar* event = nullptr;
        g_variant_get_child(parameters, 0, "i", &id);
        g_variant_get_child(parameters, 1, "&s", &event);
        if (g_str_equal(event, "clicked") && (id == kSettings || id == kQuit))
            state->runLater(id);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else if (g_str_equal(method, "EventGroup")) {
        GVariantIter* events = nullptr;
        g_variant_get_child(parameters, 0, "a(isvu)", &events);
        gint32 id = 0;
        const gchar* event = nullptr;
        while (g_variant_iter_next(events, "(i&svu)", &id, &event, nullptr, nullptr))
            if (g_str_equal(event, "clicked") && (id == kSettings || id == kQuit))
                state->runLater(id);
        g_variant_iter_free(events);
        g_dbus_method_invocation_return_value(
            invocation,
            g_variant_new("(@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0)));
    } else if (g_str_equal(method, "AboutToShow")) {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    } else {
        GVariant* none = g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(@ai@ai)", none, none));
    }
}

GVariant* menuProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* name, GError** error, gpointer) {
    if (g_str_equal(name, "Version"))
        return g_variant_new_uint32(3);
    if (g_str_equal(name, "TextDirection"))
        return g_variant_new_string("ltr");
    if (g_str_equal(name, "Status"))
        return g_variant_new_string("normal");
    if (g_str_equal(name, "IconThemePath"))
        return g_variant_new_strv(nullptr, 0);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
    return nullptr;
}

void watcherAppeared(GDBusConnection* session, const gchar* name, const gchar*, gpointer) {
    // The watcher finds the item at kItemPath under our bus name.
    g_dbus_connection_call(session, name, "/StatusNotifierWatcher", name,
                           "RegisterStatusNotifierItem",
                           g_variant_new("(s)", g_dbus_connection_get_unique_name(session)),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

const GDBusInterfaceVTable kItemVTable{itemCall, itemProperty, nullptr, {}};
const GDBusInterfaceVTable kMenuVTable{menuCall, menuProperty, nullptr, {}};

} // namespace

StatusIcon::StatusIcon(GDBusConnection* session, std::string iconName, Actions actions)
    : state_(new State) {
    state_->session = session;
    state_->iconName = std::move(iconName);
    state_->actions = std::move(actions);
    state_->node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    if (!session || !state_->node)
        return;
    state_->itemObject = g_dbus_connection_register_object(
        session, kItemPath, state_->node->interfaces[0], &kItemVTable, state_, nullptr, nullptr);
    state_->menuObject = g_dbus_connection_register_object(
        session, kMenuPath, state_->node->interfaces[1], &kMenuVTable, state_, nullptr, nullptr);
    state_->watch =
        g_bus_watch_name_on_connection(session, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                       watcherAppeared, nullptr, nullptr, nullptr);
}

StatusIcon::~StatusIcon() {
    if (state_->watch)
        g_bus_unwatch_name(state_->watch);
    if (state_->itemObject)
        g_dbus_connection_unregister_object(state_->session, state_->itemObject);
    if (state_->menuObject)
        g_dbus_connection_unregister_object(state_->session, state_->menuObject);
    if (state_->node)
        g_dbus_node_info_unref(state_->node);
    state_->session = nullptr; // a queued action finds nothing to run
    State::unref(state_);
}

} // namespace corvane::companion
