#include "integrations/common/gobject_menu_items.h"

#include <new>

namespace corvane::integrations {

namespace {

struct ProviderClass {
    GObjectClass parent_class;
    void (*itemsChanged)(gpointer provider);
};

gpointer providerParentClass = nullptr;

void disposeProvider(GObject* object) {
    auto* self = reinterpret_cast<ProviderObject*>(object);
    delete self->extension;
    self->extension = nullptr;
    G_OBJECT_CLASS(providerParentClass)->dispose(object);
}

void initProviderClass(gpointer klass, gpointer itemsChanged) {
    providerParentClass = g_type_class_peek_parent(klass);
    G_OBJECT_CLASS(klass)->dispose = disposeProvider;
    reinterpret_cast<ProviderClass*>(klass)->itemsChanged =
        reinterpret_cast<void (*)(gpointer)>(itemsChanged);
}

void initProvider(GTypeInstance* instance, gpointer klass) {
    reinterpret_cast<ProviderObject*>(instance)->extension =
        finderbus::ModuleConnection::open(reinterpret_cast<ProviderClass*>(klass)->itemsChanged,
                                          instance)
            .release();
}

void deleteAction(gpointer action, GClosure*) {
    delete static_cast<finderbus::ActionRequest*>(action);
}

void onItemActivated(GObject*, gpointer action) {
    finderbus::deliver(*static_cast<const finderbus::ActionRequest*>(action));
}

std::optional<std::string> pathOf(gpointer fileInfo, LocationOf locationOf) {
    GFile* location = locationOf(fileInfo);
    std::optional<std::string> path = finderbus::localPath(location);
    if (location != nullptr)
        g_object_unref(location);
    return path;
}

GList* menuItems(gpointer provider, unsigned kind,
                 const std::optional<finderbus::RequestContext>& context, const ItemStyle& style) {
    finderbus::ModuleConnection* extension = static_cast<ProviderObject*>(provider)->extension;
    if (extension == nullptr || !context)
        return nullptr;
    GList* items = nullptr;
    for (finderbus::ModuleItem& entry :
         finderbus::moduleItems(extension->client(), kind, *context, style.separators)) {
        GObject* item =
            style.newItem(entry.name.c_str(), entry.separator ? nullptr : entry.label.c_str());
        if (item == nullptr)
            continue;
        if (entry.sensitive)
            g_signal_connect_data(item, "activate", G_CALLBACK(onItemActivated),
                                  new finderbus::ActionRequest(std::move(entry.action)),
                                  deleteAction, GConnectFlags(0));
        else if (!entry.separator)
            g_object_set(item, "sensitive", FALSE, nullptr);
        items = g_list_prepend(items, item);
    }
    return g_list_reverse(items);
}

} // namespace

GTypeInfo providerTypeInfo(void (*itemsChanged)(gpointer provider)) {
    GTypeInfo info{};
    info.class_size = sizeof(ProviderClass);
    info.class_init = initProviderClass;
    info.class_data = reinterpret_cast<gconstpointer>(itemsChanged);
    info.instance_size = sizeof(ProviderObject);
    info.instance_init = initProvider;
    return info;
}

GType registerProviderType(GTypeModule* module, const char* name, GType menuProvider,
                           GInterfaceInitFunc initMenuProvider,
                           void (*itemsChanged)(gpointer provider)) {
    const GTypeInfo info = providerTypeInfo(itemsChanged);
    const GType type =
        g_type_module_register_type(module, G_TYPE_OBJECT, name, &info, GTypeFlags(0));
    const GInterfaceInfo implementation{initMenuProvider, nullptr, nullptr};
    g_type_module_add_interface(module, type, menuProvider, &implementation);
    return type;
}

GList* selectionItems(gpointer provider, GList* files, const ItemStyle& style) {
    try {
        std::vector<std::optional<std::string>> paths;
        for (GList* node = files; node != nullptr; node = node->next)
            paths.push_back(pathOf(node->data, style.locationOf));
        return menuItems(provider, finderbus::kMenuKindItems, finderbus::selectionContext(paths),
                         style);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

GList* backgroundItems(gpointer provider, gpointer folder, const ItemStyle& style) {
    try {
        return menuItems(provider, finderbus::kMenuKindContainer,
                         finderbus::folderContext(pathOf(folder, style.locationOf)), style);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace corvane::integrations
