#include "integrations/nautilus/menu_provider.h"

#include "finderbus/finder_bus_client.h"
#include "integrations/nautilus/nautilus_extension.h"

#include <new>
#include <string>

namespace {

using corvane::finderbus::FinderBusClient;
using corvane::finderbus::MenuWatch;
using corvane::finderbus::RequestContext;

/// How long GNOME Files' UI thread waits for a menu: well under what a
/// person notices, since it asks on every selection change.
constexpr int kMenuTimeoutMs = 100;

void menuProviderInterfaceInit(NautilusMenuProviderInterface* iface);

} // namespace

struct CorvaneMenuProvider {
    GObject parent_instance;
    /// Both null when there is no session bus.
    FinderBusClient* client;
    MenuWatch* watch;
};

struct CorvaneMenuProviderClass {
    GObjectClass parent_class;
};

G_DEFINE_DYNAMIC_TYPE_EXTENDED(CorvaneMenuProvider, corvane_menu_provider, G_TYPE_OBJECT, 0,
                               G_IMPLEMENT_INTERFACE_DYNAMIC(NAUTILUS_TYPE_MENU_PROVIDER,
                                                             menuProviderInterfaceInit))

static void corvane_menu_provider_dispose(GObject* object) {
    CorvaneMenuProvider* self = reinterpret_cast<CorvaneMenuProvider*>(object);
    delete self->watch;
    self->watch = nullptr;
    delete self->client;
    self->client = nullptr;
    G_OBJECT_CLASS(corvane_menu_provider_parent_class)->dispose(object);
}

static void corvane_menu_provider_class_init(CorvaneMenuProviderClass* klass) {
    G_OBJECT_CLASS(klass)->dispose = corvane_menu_provider_dispose;
}
static void corvane_menu_provider_class_finalize(CorvaneMenuProviderClass*) {}

// GNOME Files keeps the items it was given until the selection changes; when
// the extension starts, stops or changes its menu, it is told to ask again.
static void corvane_menu_provider_init(CorvaneMenuProvider* self) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return;
    try {
        self->client =
            new FinderBusClient(bus, kMenuTimeoutMs, FinderBusClient::Activation::Allowed);
        self->watch = new MenuWatch(
            bus,
            [](gpointer provider) {
                nautilus_menu_provider_emit_items_updated_signal(NAUTILUS_MENU_PROVIDER(provider));
            },
            self);
    } catch (const std::bad_alloc&) {
        // Without a watch the items change with the next selection.
    }
    g_object_unref(bus);
}

namespace {

/// The file's local path, or none for a location without one (another
/// machine, the trash, a search).
std::optional<std::string> pathOf(NautilusFileInfo* file) {
    GFile* location = nautilus_file_info_get_location(file);
    if (location == nullptr)
        return std::nullopt;
    char* path = g_file_get_path(location);
    g_object_unref(location);
    if (path == nullptr)
        return std::nullopt;
    std::string result(path);
    g_free(path);
    return result;
}

/// The selection's context: every item's path, and the folder that holds the
/// first one as the targeted folder. None when an item has no local path.
std::optional<RequestContext> selectionContext(GList* files) {
    RequestContext context;
    for (GList* node = files; node != nullptr; node = node->next) {
        std::optional<std::string> path = pathOf(NAUTILUS_FILE_INFO(node->data));
        if (!path)
            return std::nullopt;
        context.selected.push_back(std::move(*path));
    }
    if (context.selected.empty())
        return std::nullopt;
    char* folder = g_path_get_dirname(context.selected.front().c_str());
    context.targeted = folder;
    g_free(folder);
    return context;
}

/// What a chosen item delivers.
struct ChosenAction {
    std::string selector;
    RequestContext context;
};

void deleteChosenAction(gpointer data, GClosure*) {
    delete static_cast<ChosenAction*>(data);
}

void onItemActivated(NautilusMenuItem*, gpointer data) {
    const auto* action = static_cast<const ChosenAction*>(data);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return;
    try {
        FinderBusClient(bus, kMenuTimeoutMs, FinderBusClient::Activation::Allowed)
            .performLater(action->selector, action->context);
    } catch (const std::bad_alloc&) {
        // The choice is dropped; GNOME Files goes on.
    }
    g_object_unref(bus);
}

/// GNOME Files' items for the extension's menu of `kind` with `context`.
GList* menuItems(NautilusMenuProvider* provider, unsigned kind, const RequestContext& context) {
    FinderBusClient* client = reinterpret_cast<CorvaneMenuProvider*>(provider)->client;
    if (client == nullptr)
        return nullptr;
    auto menu = client->menu(kind, context);
    if (!menu) {
        // Normal while the extension is not running or still starting: no
        // items, and nothing louder than a debug line on every selection change.
        g_debug("no menu: %s", menu.error().c_str());
        return nullptr;
    }
    if (!*menu)
        return nullptr;
    GList* items = nullptr;
    std::vector<std::string> names;
    // GNOME Files draws no separators for extensions.
    for (const auto& entry : (*menu)->entries) {
        if (entry.separator)
            continue;
        names.push_back(corvane::finderbus::itemName(kind, entry.action, names));
        NautilusMenuItem* item =
            nautilus_menu_item_new(names.back().c_str(), entry.title.c_str(), nullptr, nullptr);
        if (entry.enabled && !entry.action.empty())
            g_signal_connect_data(item, "activate", G_CALLBACK(onItemActivated),
                                  new ChosenAction{entry.action, context}, deleteChosenAction,
                                  GConnectFlags(0));
        else
            g_object_set(item, "sensitive", FALSE, nullptr);
        items = g_list_prepend(items, item);
    }
    return g_list_reverse(items);
}

GList* getFileItems(NautilusMenuProvider* provider, GList* files) {
    try {
        std::optional<RequestContext> context = selectionContext(files);
        return context ? menuItems(provider, corvane::finderbus::kMenuKindItems, *context)
                       : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

GList* getBackgroundItems(NautilusMenuProvider* provider, NautilusFileInfo* folder) {
    try {
        std::optional<std::string> path = pathOf(folder);
        return path ? menuItems(provider, corvane::finderbus::kMenuKindContainer,
                                RequestContext{std::move(path), {}})
                    : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void menuProviderInterfaceInit(NautilusMenuProviderInterface* iface) {
    iface->get_file_items = getFileItems;
    iface->get_background_items = getBackgroundItems;
}

} // namespace

namespace corvane::nautilus {

void registerMenuProviderType(GTypeModule* module) {
    corvane_menu_provider_register_type(module);
}

GType menuProviderType() {
    return corvane_menu_provider_get_type();
}

} // namespace corvane::nautilus
