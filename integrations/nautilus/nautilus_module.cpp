// The entry points GNOME Files looks up in every module of its extension
// folder; the linker script exports these three and nothing else.

#include "integrations/nautilus/menu_provider.h"
#include "integrations/nautilus/nautilus_extension.h"

namespace {
GType providerTypes[1];
}

extern "C" void nautilus_module_initialize(GTypeModule* module) {
    corvane::nautilus::registerMenuProviderType(module);
    providerTypes[0] = corvane::nautilus::menuProviderType();
}

extern "C" void nautilus_module_list_types(const GType** types, int* count) {
    *types = providerTypes;
    *count = G_N_ELEMENTS(providerTypes);
}

extern "C" void nautilus_module_shutdown() {}
