// The Thunar module: a ThunarxMenuProvider that puts the extension's commands
// into Thunar's context menus, and the entry points Thunar looks up in every
// module of its extension folder (the linker script exports only those).

#include "integrations/common/gobject_menu_items.h"

// Some of thunarx's headers declare functions without C linkage guards.
extern "C" {
#include <thunarx/thunarx.h>
}

namespace {

using namespace corvane::integrations;

// Thunar's items cannot be separators.
const ItemStyle kStyle{
    [](gpointer file) { return thunarx_file_info_get_location(THUNARX_FILE_INFO(file)); },
    [](const char* name, const char* label) {
        return G_OBJECT(thunarx_menu_item_new(name, label, "", nullptr));
    },
    corvane::finderbus::Separators::Dropped};

void initMenuProvider(gpointer iface, gpointer) {
    auto* menu = static_cast<ThunarxMenuProviderIface*>(iface);
    menu->get_file_menu_items = [](ThunarxMenuProvider* provider, GtkWidget*, GList* files) {
        return selectionItems(provider, files, kStyle);
    };
    menu->get_folder_menu_items = [](ThunarxMenuProvider* provider, GtkWidget*,
                                     ThunarxFileInfo* folder) {
        return backgroundItems(provider, folder, kStyle);
    };
}

GType providerTypes[1];

} // namespace

// Thunar asks each time it opens a menu, so nothing tells it to ask again.
extern "C" void thunar_extension_initialize(ThunarxProviderPlugin* plugin) {
    // The module holds a bus connection and its subscriptions: it stays loaded.
    thunarx_provider_plugin_set_resident(plugin, TRUE);
    const GTypeInfo info = providerTypeInfo(nullptr);
    providerTypes[0] = thunarx_provider_plugin_register_type(
        plugin, G_TYPE_OBJECT, "CorvaneThunarMenuProvider", &info, GTypeFlags(0));
    const GInterfaceInfo menuProvider{initMenuProvider, nullptr, nullptr};
    thunarx_provider_plugin_add_interface(plugin, providerTypes[0], THUNARX_TYPE_MENU_PROVIDER,
                                          &menuProvider);
}

extern "C" void thunar_extension_list_types(const GType** types, gint* count) {
    *types = providerTypes;
    *count = G_N_ELEMENTS(providerTypes);
}

extern "C" void thunar_extension_shutdown() {}
