// The Nemo module: a NemoMenuProvider that puts the extension's commands
// into Nemo's context menus, and the entry points Nemo looks up in every
// module of its extension folder (the linker script exports only those).

#include "integrations/common/gobject_menu_items.h"

#include <libnemo-extension/nemo-extension-types.h>
#include <libnemo-extension/nemo-menu-provider.h>

namespace {

using namespace corvane::integrations;

// Nemo draws separators between extension items.
const ItemStyle kStyle{
    [](gpointer file) { return nemo_file_info_get_location(NEMO_FILE_INFO(file)); },
    [](const char* name, const char* label) {
        return G_OBJECT(label == nullptr ? nemo_menu_item_new_separator(name)
                                         : nemo_menu_item_new(name, label, "", nullptr));
    },
    corvane::finderbus::Separators::Drawn};

void initMenuProvider(gpointer iface, gpointer) {
    auto* menu = static_cast<NemoMenuProviderInterface*>(iface);
    menu->get_file_items = [](NemoMenuProvider* provider, GtkWidget*, GList* files) {
        return selectionItems(provider, files, kStyle);
    };
    menu->get_background_items = [](NemoMenuProvider* provider, GtkWidget*, NemoFileInfo* folder) {
        return backgroundItems(provider, folder, kStyle);
    };
}

GType providerTypes[1];

} // namespace

// Nemo may keep the items it was given; when the extension's menu may
// have changed, it is told to ask again.
extern "C" void nemo_module_initialize(GTypeModule* module) {
    providerTypes[0] = registerProviderType(
        module, "CorvaneNemoMenuProvider", NEMO_TYPE_MENU_PROVIDER, initMenuProvider,
        [](gpointer provider) {
            nemo_menu_provider_emit_items_updated_signal(NEMO_MENU_PROVIDER(provider));
        });
}

extern "C" void nemo_module_list_types(const GType** types, int* count) {
    *types = providerTypes;
    *count = G_N_ELEMENTS(providerTypes);
}

extern "C" void nemo_module_shutdown() {}
