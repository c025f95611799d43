#include "tests/nautilus/module_host.h"

#include <stdexcept>

namespace corvane::testing {

namespace {

/// What GNOME Files' own GTypeModule does on load: open the module (its path
/// is the type module's name) with lazy, local binding, and initialize it.
gboolean loadModule(GTypeModule* module) {
    GModule* library =
        g_module_open(module->name, GModuleFlags(G_MODULE_BIND_LAZY | G_MODULE_BIND_LOCAL));
    gpointer initialize = nullptr;
    if (library == nullptr || !g_module_symbol(library, "nautilus_module_initialize", &initialize))
        return FALSE;
    g_object_set_data(G_OBJECT(module), "library", library);
    reinterpret_cast<void (*)(GTypeModule*)>(initialize)(module);
    return TRUE;
}

GType hostModuleType() {
    static const GType type = g_type_register_static_simple(
        G_TYPE_TYPE_MODULE, "CorvaneTestHostModule", sizeof(GTypeModuleClass),
        [](gpointer klass, gpointer) {
            G_TYPE_MODULE_CLASS(klass)->load = loadModule;
            G_TYPE_MODULE_CLASS(klass)->unload = [](GTypeModule*) {};
        },
        sizeof(GTypeModule), nullptr, GTypeFlags(0));
    return type;
}

GFile* locationOf(NautilusFileInfo* info) {
    return G_FILE(g_object_ref(g_object_get_data(G_OBJECT(info), "location")));
}

/// A NautilusFileInfo of our own, through the public interface alone: its
/// location is all the module asks of it.
GType fileInfoType() {
    static const GType type = [] {
        GType info = g_type_register_static_simple(G_TYPE_OBJECT, "CorvaneTestFileInfo",
                                                   sizeof(GObjectClass), nullptr, sizeof(GObject),
                                                   nullptr, GTypeFlags(0));
        const GInterfaceInfo implementation = {
            [](gpointer iface, gpointer) {
                static_cast<NautilusFileInfoInterface*>(iface)->get_location = locationOf;
            },
            nullptr, nullptr};
        g_type_add_interface_static(info, NAUTILUS_TYPE_FILE_INFO, &implementation);
        return info;
    }();
    return type;
}

std::string labelOf(gpointer item) {
    char* label = nullptr;
    g_object_get(item, "label", &label, nullptr);
    std::string text = label != nullptr ? label : "";
    g_free(label);
    return text;
}

} // namespace

GDBusConnection* useAsSessionBus(const PrivateBus& bus) {
    g_setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), TRUE);
    g_setenv("GIO_USE_VFS", "local", TRUE);
    GError* error = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (connection == nullptr) {
        std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("cannot connect to the private bus: " + message);
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    return connection;
}

bool waitForExtension(GDBusConnection* bus, std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner", g_variant_new("(s)", finderbus::kBusName), G_VARIANT_TYPE("(b)"),
                G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
            gboolean owned = FALSE;
            if (reply != nullptr) {
                g_variant_get(reply, "(b)", &owned);
                g_variant_unref(reply);
            }
            return owned != FALSE;
        },
        timeout);
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            return done();
        },
        timeout);
}

LoadedModule::LoadedModule(const std::string& path) {
    GTypeModule* module = G_TYPE_MODULE(g_object_new(hostModuleType(), nullptr));
    g_type_module_set_name(module, path.c_str());
    if (!g_type_module_use(module))
        throw std::runtime_error("cannot load " + path + ": " +
                                 (g_module_error() ? g_module_error() : "no initializer"));
    library_ = static_cast<GModule*>(g_object_get_data(G_OBJECT(module), "library"));
    gpointer listTypes = nullptr;
    if (!g_module_symbol(library_, "nautilus_module_list_types", &listTypes))
        throw std::runtime_error(path + " has no nautilus_module_list_types");
    const GType* types = nullptr;
    int count = 0;
    reinterpret_cast<void (*)(const GType**, int*)>(listTypes)(&types, &count);
    types_.assign(types, types + count);
    for (GType type : types_)
        objects_.push_back(G_OBJECT(g_object_new(type, nullptr)));
}

LoadedModule::~LoadedModule() {
    for (GObject* object : objects_)
        g_object_unref(object);
}

NautilusMenuProvider* LoadedModule::menuProvider() const {
    for (GObject* object : objects_) {
        if (NAUTILUS_IS_MENU_PROVIDER(object))
            return NAUTILUS_MENU_PROVIDER(object);
    }
    return nullptr;
}

bool LoadedModule::exports(const char* symbol) const {
    gpointer address = nullptr;
    return g_module_symbol(library_, symbol, &address);
}

void PrintTo(const ShownItem& item, std::ostream* out) {
    *out << '"' << item.label << '"' << (item.sensitive ? "" : " (insensitive)");
}

MenuItems::~MenuItems() {
    g_list_free_full(items_, g_object_unref);
}

std::vector<ShownItem> MenuItems::shown() const {
    std::vector<ShownItem> shown;
    for (GList* node = items_; node != nullptr; node = node->next) {
        gboolean sensitive = FALSE;
        g_object_get(node->data, "sensitive", &sensitive, nullptr);
        shown.push_back({labelOf(node->data), sensitive != FALSE});
    }
    return shown;
}

WindowMenus::WindowMenus(NautilusMenuProvider* provider,
                         const std::vector<std::string>& selectionUris,
                         const std::string& folderUri)
    : selection_(fileItems(provider, selectionUris)),
      background_(backgroundItems(provider, folderUri)) {
    for (const MenuItems* menu : {&selection_, &background_}) {
        for (GList* node = menu->items(); node != nullptr; node = node->next) {
            char* name = nullptr;
            g_object_get(node->data, "name", &name, nullptr);
            actions_[name] = NAUTILUS_MENU_ITEM(node->data);
            g_free(name);
        }
    }
}

bool WindowMenus::choose(const MenuItems& menu, const std::string& label) const {
    for (GList* node = menu.items(); node != nullptr; node = node->next) {
        if (labelOf(node->data) != label)
            continue;
        char* name = nullptr;
        g_object_get(node->data, "name", &name, nullptr);
        nautilus_menu_item_activate(actions_.at(name));
        g_free(name);
        return true;
    }
    return false;
}

ItemsUpdatedCounter::ItemsUpdatedCounter(NautilusMenuProvider* provider)
    : provider_(provider),
      handler_(g_signal_connect_swapped(
          provider, "items-updated",
          G_CALLBACK(+[](ItemsUpdatedCounter* counter) { ++counter->count_; }), this)) {}

ItemsUpdatedCounter::~ItemsUpdatedCounter() {
    g_signal_handler_disconnect(provider_, handler_);
}

NautilusFileInfo* newFileInfo(const std::string& uri) {
    GObject* info = G_OBJECT(g_object_new(fileInfoType(), nullptr));
    g_object_set_data_full(info, "location", g_file_new_for_uri(uri.c_str()), g_object_unref);
    return NAUTILUS_FILE_INFO(info);
}

MenuItems fileItems(NautilusMenuProvider* provider, const std::vector<std::string>& uris) {
    GList* files = nullptr;
    for (const std::string& uri : uris)
        files = g_list_append(files, newFileInfo(uri));
    GList* items = nautilus_menu_provider_get_file_items(provider, files);
    g_list_free_full(files, g_object_unref);
    return MenuItems(items);
}

MenuItems backgroundItems(NautilusMenuProvider* provider, const std::string& uri) {
    NautilusFileInfo* folder = newFileInfo(uri);
    GList* items = nautilus_menu_provider_get_background_items(provider, folder);
    g_object_unref(folder);
    return MenuItems(items);
}

std::string fileUri(const std::string& path) {
    char* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string result = uri != nullptr ? uri : "";
    g_free(uri);
    return result;
}

} // namespace corvane::testing
