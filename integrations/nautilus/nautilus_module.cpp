// The GNOME Files module: a NautilusMenuProvider that puts the extension's
// commands into GNOME Files' context menus, and the entry points GNOME Files
// looks up in every module of its extension folder (the linker script
// exports only those).

#include "integrations/common/gobject_menu_items.h"
#include "integrations/nautilus/nautilus_extension.h"

namespace {

using namespace corvane::integrations;

// GNOME Files draws no separators for extensions.
const ItemStyle kStyle{
    [](gpointer file) { return nautilus_file_info_get_location(NAUTILUS_FILE_INFO(file)); },
    [](const char* name, const char* label) {
        return G_OBJECT(nautilus_menu_item_new(name, label, nullptr, nullptr));
    },
    corvane::finderbus::Separators::Dropped};

void initMenuProvider(gpointer iface, gpointer) {
    auto* menu = static_cast<NautilusMenuProviderInterface*>(iface);
    menu->get_file_items = [](NautilusMenuProvider* provider, GList* files) {
        return selectionItems(provider, files, kStyle);
    };
    menu->get_background_items = [](NautilusMenuProvider* provider, NautilusFileInfo* folder) {
        return backgroundItems(provider, folder, kStyle);
    };
}

GType providerTypes[1];

} // namespace

// GNOME Files asks on every selection change and keeps the items until the
// next; when the extension's menu may have changed, it is told to ask again.
extern "C" void nautilus_module_initialize(GTypeModule* module) {
    providerTypes[0] = registerProviderType(
        module, "CorvaneMenuProvider", NAUTILUS_TYPE_MENU_PROVIDER, initMenuProvider,
        [](gpointer provider) {
            nautilus_menu_provider_emit_items_updated_signal(NAUTILUS_MENU_PROVIDER(provider));
        });
}

extern "C" void nautilus_module_list_types(const GType** types, int* count) {
    *types = providerTypes;
    *count = G_N_ELEMENTS(providerTypes);
}

extern "C" void nautilus_module_shutdown() {}
