// The Caja module: a CajaMenuProvider that puts the extension's commands
// into Caja's context menus, and the entry points Caja looks up in every
// module of its extension folder (the linker script exports only those).

#include "integrations/common/gobject_menu_items.h"

#include <libcaja-extension/caja-extension-types.h>
#include <libcaja-extension/caja-menu-provider.h>

namespace {

using namespace corvane::integrations;

// Caja's items cannot be separators.
const ItemStyle kStyle{
    [](gpointer file) { return caja_file_info_get_location(CAJA_FILE_INFO(file)); },
    [](const char* name, const char* label) {
        return G_OBJECT(caja_menu_item_new(name, label, "", nullptr));
    },
    corvane::finderbus::Separators::Dropped};

void initMenuProvider(gpointer iface, gpointer) {
    auto* menu = static_cast<CajaMenuProviderIface*>(iface);
    menu->get_file_items = [](CajaMenuProvider* provider, GtkWidget*, GList* files) {
        return selectionItems(provider, files, kStyle);
    };
    menu->get_background_items = [](CajaMenuProvider* provider, GtkWidget*, CajaFileInfo* folder) {
        return backgroundItems(provider, folder, kStyle);
    };
}

GType providerTypes[1];

} // namespace

// Caja may keep the items it was given; when the extension's menu may
// have changed, it is told to ask again.
extern "C" void caja_module_initialize(GTypeModule* module) {
    providerTypes[0] = registerProviderType(
        module, "CorvaneCajaMenuProvider", CAJA_TYPE_MENU_PROVIDER, initMenuProvider,
        [](gpointer provider) {
            caja_menu_provider_emit_items_updated_signal(CAJA_MENU_PROVIDER(provider));
        });
}

extern "C" void caja_module_list_types(const GType** types, int* count) {
    *types = providerTypes;
    *count = G_N_ELEMENTS(providerTypes);
}

extern "C" void caja_module_shutdown() {}
