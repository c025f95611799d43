#include "tests/nautilus/module_host.h"

#include <gmodule.h>

#include <mutex>
#include <stdexcept>
#include <thread>

// ------------------------------------------------------------ type module

/// GNOME Files' own GTypeModule does this much: open, look up, initialize.
struct HostTypeModule {
    GTypeModule parent_instance;
    char* path;
    GModule* library;
};
struct HostTypeModuleClass {
    GTypeModuleClass parent_class;
};

G_DEFINE_TYPE(HostTypeModule, host_type_module, G_TYPE_TYPE_MODULE)

static gboolean host_type_module_load(GTypeModule* base) {
    auto* self = reinterpret_cast<HostTypeModule*>(base);
    self->library =
        g_module_open(self->path, GModuleFlags(G_MODULE_BIND_LAZY | G_MODULE_BIND_LOCAL));
    gpointer initialize = nullptr;
    if (self->library == nullptr ||
        !g_module_symbol(self->library, "nautilus_module_initialize", &initialize))
        return FALSE;
    reinterpret_cast<void (*)(GTypeModule*)>(initialize)(base);
    return TRUE;
}

static void host_type_module_unload(GTypeModule*) {}

static void host_type_module_class_init(HostTypeModuleClass* klass) {
    auto* moduleClass = G_TYPE_MODULE_CLASS(klass);
    moduleClass->load = host_type_module_load;
    moduleClass->unload = host_type_module_unload;
}

static void host_type_module_init(HostTypeModule*) {}

// ------------------------------------------------------------ file info

/// A NautilusFileInfo of our own, through the public interface alone.
struct TestFileInfo {
    GObject parent_instance;
    GFile* location;
};
struct TestFileInfoClass {
    GObjectClass parent_class;
};

static void test_file_info_interface_init(NautilusFileInfoInterface* iface);

G_DEFINE_TYPE_WITH_CODE(TestFileInfo, test_file_info, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(NAUTILUS_TYPE_FILE_INFO,
                                              test_file_info_interface_init))

static GFile* test_file_info_get_location(NautilusFileInfo* info) {
    return G_FILE(g_object_ref(reinterpret_cast<TestFileInfo*>(info)->location));
}

static void test_file_info_interface_init(NautilusFileInfoInterface* iface) {
    iface->get_location = test_file_info_get_location;
}

static void test_file_info_finalize(GObject* object) {
    g_object_unref(reinterpret_cast<TestFileInfo*>(object)->location);
    G_OBJECT_CLASS(test_file_info_parent_class)->finalize(object);
}

static void test_file_info_class_init(TestFileInfoClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = test_file_info_finalize;
}

static void test_file_info_init(TestFileInfo*) {}

namespace corvane::testing {

NautilusFileInfo* newFileInfo(const std::string& uri) {
    auto* info = reinterpret_cast<TestFileInfo*>(g_object_new(test_file_info_get_type(), nullptr));
    info->location = g_file_new_for_uri(uri.c_str());
    return NAUTILUS_FILE_INFO(info);
}

namespace {

using Clock = std::chrono::steady_clock;

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
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", g_variant_new("(s)", finderbus::kBusName), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
        gboolean owned = FALSE;
        if (reply != nullptr) {
            g_variant_get(reply, "(b)", &owned);
            g_variant_unref(reply);
        }
        if (owned)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// ------------------------------------------------------------ LoadedModule

LoadedModule::LoadedModule(const std::string& path) {
    auto* module =
        reinterpret_cast<HostTypeModule*>(g_object_new(host_type_module_get_type(), nullptr));
    module->path = g_strdup(path.c_str());
    module_ = G_TYPE_MODULE(module);
    g_type_module_set_name(module_, path.c_str());
    if (!g_type_module_use(module_))
        throw std::runtime_error("cannot load " + path + ": " + g_module_error());
    gpointer listTypes = nullptr;
    if (!g_module_symbol(module->library, "nautilus_module_list_types", &listTypes))
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
    return g_module_symbol(reinterpret_cast<HostTypeModule*>(module_)->library, symbol, &address);
}

// ------------------------------------------------------------ menu items

void PrintTo(const ShownItem& item, std::ostream* out) {
    *out << '"' << item.label << '"' << (item.sensitive ? "" : " (insensitive)");
}

MenuItems::~MenuItems() {
    g_list_free_full(items_, g_object_unref);
}

std::vector<ShownItem> MenuItems::shown() const {
    std::vector<ShownItem> shown;
    for (GList* node = items_; node != nullptr; node = node->next) {
        char* label = nullptr;
        gboolean sensitive = FALSE;
        g_object_get(node->data, "label", &label, "sensitive", &sensitive, nullptr);
        shown.push_back({label != nullptr ? label : "", sensitive != FALSE});
        g_free(label);
    }
    return shown;
}

bool MenuItems::activate(const std::string& label) const {
    for (GList* node = items_; node != nullptr; node = node->next) {
        char* itemLabel = nullptr;
        g_object_get(node->data, "label", &itemLabel, nullptr);
        const bool found = itemLabel != nullptr && label == itemLabel;
        g_free(itemLabel);
        if (found) {
            nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(node->data));
            return true;
        }
    }
    return false;
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
    GFile* file = g_file_new_for_path(path.c_str());
    char* uri = g_file_get_uri(file);
    std::string result(uri);
    g_free(uri);
    g_object_unref(file);
    return result;
}

// ------------------------------------------------------------ FinderCallMonitor

void PrintTo(const FinderCall& call, std::ostream* out) {
    *out << call.method << "(" << call.argument << ", [" << call.context.targeted.value_or("")
         << "], [";
    for (const std::string& path : call.context.selected)
        *out << (&path == &call.context.selected.front() ? "" : ", ") << path;
    *out << "])";
}

struct FinderCallMonitor::State {
    std::string ownName;
    mutable std::mutex mutex;
    std::vector<FinderCall> calls;
};

namespace {

std::vector<std::string> pathsOf(GVariant* array) {
    std::vector<std::string> paths;
    for (gsize i = 0; i < g_variant_n_children(array); ++i) {
        GVariant* bytes = g_variant_get_child_value(array, i);
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &size, 1));
        paths.emplace_back(data == nullptr ? "" : data, size);
        g_variant_unref(bytes);
    }
    return paths;
}

std::optional<FinderCall> finderCallOf(GDBusMessage* message) {
    const char* member = g_dbus_message_get_member(message);
    GVariant* body = g_dbus_message_get_body(message);
    if (g_strcmp0(g_dbus_message_get_interface(message), finderbus::kInterface) != 0 ||
        member == nullptr || body == nullptr || g_variant_n_children(body) != 3)
        return std::nullopt;
    FinderCall call;
    call.method = member;
    GVariant* first = g_variant_get_child_value(body, 0);
    if (g_variant_is_of_type(first, G_VARIANT_TYPE_UINT32))
        call.argument = std::to_string(g_variant_get_uint32(first));
    else if (g_variant_is_of_type(first, G_VARIANT_TYPE_STRING))
        call.argument = g_variant_get_string(first, nullptr);
    g_variant_unref(first);
    GVariant* targets = g_variant_get_child_value(body, 1);
    GVariant* selection = g_variant_get_child_value(body, 2);
    std::vector<std::string> targetPaths = pathsOf(targets);
    if (!targetPaths.empty())
        call.context.targeted = targetPaths.front();
    call.context.selected = pathsOf(selection);
    g_variant_unref(targets);
    g_variant_unref(selection);
    return call;
}

/// Runs on GDBus's worker thread. Everything monitored is consumed here, so
/// this connection never answers a call meant for someone else.
GDBusMessage* monitorFilter(GDBusConnection*, GDBusMessage* message, gboolean incoming,
                            gpointer data) {
    auto& state = **static_cast<std::shared_ptr<FinderCallMonitor::State>*>(data);
    if (!incoming || g_strcmp0(g_dbus_message_get_destination(message), state.ownName.c_str()) == 0)
        return message;
    if (std::optional<FinderCall> call = finderCallOf(message)) {
        std::lock_guard lock(state.mutex);
        state.calls.push_back(std::move(*call));
    }
    g_object_unref(message);
    return nullptr;
}

} // namespace

FinderCallMonitor::FinderCallMonitor(const std::string& busAddress)
    : state_(std::make_shared<State>()) {
    GError* error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection_ == nullptr) {
        std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("monitor: " + message);
    }
    state_->ownName = g_dbus_connection_get_unique_name(connection_);
    // The filter keeps the state alive as long as GDBus may still run it.
    g_dbus_connection_add_filter(
        connection_, monitorFilter, new std::shared_ptr<State>(state_),
        [](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); });
    const std::string callRule =
        std::string("type='method_call',interface='") + finderbus::kInterface + "'";
    const char* rules[] = {callRule.c_str(), nullptr};
    GVariant* reply = g_dbus_connection_call_sync(
        connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus.Monitoring", "BecomeMonitor", g_variant_new("(^asu)", rules, 0u),
        nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (reply == nullptr) {
        std::string message = error->message;
        g_error_free(error);
        g_object_unref(connection_);
        throw std::runtime_error("monitor: " + message);
    }
    g_variant_unref(reply);
}

FinderCallMonitor::~FinderCallMonitor() {
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
}

std::vector<FinderCall> FinderCallMonitor::calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

bool FinderCallMonitor::waitForCalls(std::size_t count, std::chrono::milliseconds timeout) {
    return spinUntil(
        [&] {
            std::lock_guard lock(state_->mutex);
            return state_->calls.size() >= count;
        },
        timeout);
}

} // namespace corvane::testing
