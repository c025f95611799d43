#pragma once

// The module's one type: a NautilusMenuProvider that puts the extension's
// commands into GNOME Files' context menus.

#include <glib-object.h>

namespace corvane::nautilus {

/// Registers the provider type with the module GNOME Files loaded us into.
void registerMenuProviderType(GTypeModule* module);

/// The provider type; valid once registered.
GType menuProviderType();

} // namespace corvane::nautilus
