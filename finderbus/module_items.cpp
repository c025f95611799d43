#include "finderbus/module_items.h"

#include <cstdlib>
#include <new>

namespace corvane::finderbus {

std::optional<std::string> localPath(GFile* location) {
    if (location == nullptr)
        return std::nullopt;
    char* path = g_file_get_path(location);
    if (path == nullptr)
        return std::nullopt;
    std::string result(path);
    g_free(path);
    return result;
}

std::optional<RequestContext>
selectionContext(const std::vector<std::optional<std::string>>& paths) {
    RequestContext context;
    for (const std::optional<std::string>& path : paths) {
        if (!path)
            return std::nullopt;
        context.selected.push_back(*path);
    }
    if (context.selected.empty())
        return std::nullopt;
    char* folder = g_path_get_dirname(context.selected.front().c_str());
    context.targeted = folder;
    g_free(folder);
    return context;
}

std::optional<RequestContext> folderContext(std::optional<std::string> folder) {
    if (!folder)
        return std::nullopt;
    return RequestContext{std::move(folder), {}};
}

std::vector<ModuleItem> moduleItems(FinderBusClient& client, unsigned kind,
                                    const RequestContext& context, Separators separators) {
    Result<std::optional<Menu>> menu = client.menu(kind, context);
    if (!menu) {
        // Normal while the extension is not running or still starting: no
        // items, and nothing louder than a debug line on every selection change.
        g_debug("no menu: %s", menu.error().c_str());
        return {};
    }
    std::vector<ModuleItem> items;
    if (!*menu)
        return items;
    std::vector<std::string> names;
    for (const MenuEntry& entry : (*menu)->entries) {
        if (entry.separator && separators == Separators::Dropped)
            continue;
        names.push_back(itemName(kind, entry.separator ? "separator" : entry.action, names));
        items.push_back({names.back(),
                         entry.title,
                         entry.separator,
                         !entry.separator && entry.enabled && !entry.action.empty(),
                         {entry.action, context}});
    }
    return items;
}

int menuTimeoutMs() {
    const char* text = g_getenv("CORVANE_MENU_TIMEOUT_MS");
    if (text == nullptr)
        return kModuleMenuTimeoutMs;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= 10 && value <= 10000 ? static_cast<int>(value)
                                                                        : kModuleMenuTimeoutMs;
}

void deliver(const ActionRequest& action) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return;
    try {
        FinderBusClient(bus, menuTimeoutMs(), FinderBusClient::Activation::Allowed)
            .performLater(action.selector, action.context);
    } catch (const std::bad_alloc&) {
        // The choice is dropped; the file manager goes on.
    }
    g_object_unref(bus);
}

std::unique_ptr<ModuleConnection> ModuleConnection::open(void (*changed)(gpointer data),
                                                         gpointer data) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return nullptr;
    std::unique_ptr<ModuleConnection> connection;
    try {
        connection.reset(new ModuleConnection(bus, changed, data));
    } catch (const std::bad_alloc&) {
        // No items rather than a crash inside the file manager.
    }
    g_object_unref(bus);
    return connection;
}

ModuleConnection::ModuleConnection(GDBusConnection* bus, void (*changed)(gpointer data),
                                   gpointer data)
    : client_(bus, menuTimeoutMs(), FinderBusClient::Activation::Allowed) {
    if (changed == nullptr)
        return;
    client_.onAnsweringAgain(changed, data);
    watch_ = std::make_unique<MenuWatch>(bus, changed, data);
}

ModuleConnection::~ModuleConnection() = default;

} // namespace corvane::finderbus
