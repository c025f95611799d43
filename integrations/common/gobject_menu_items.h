#pragma once

// What the GTK file managers' modules (GNOME Files, Nemo, Caja, Thunar)
// share: a provider type whose objects hold the way to the extension, and
// the extension's menu as the file manager's own items, each a GObject with
// a "sensitive" property and an "activate" signal.

#include "finderbus/module_items.h"

namespace corvane::integrations {

/// An object of a module's provider type.
struct ProviderObject {
    GObject parent_instance;
    /// Null when there is no session bus.
    finderbus::ModuleConnection* extension;
};

/// The type information of a provider type (a GObject subclass) whose
/// objects open their connection to the extension, with `itemsChanged`
/// (may be null) called when items given earlier may be out of date, and
/// close it when disposed. The module registers it with its file manager and
/// adds the menu provider interface.
GTypeInfo providerTypeInfo(void (*itemsChanged)(gpointer provider));

/// Registers with `module` (GNOME Files', Nemo's or Caja's) the provider type
/// named `name`, which implements `menuProvider` through `initMenuProvider`
/// and calls `itemsChanged` as `providerTypeInfo` does.
GType registerProviderType(GTypeModule* module, const char* name, GType menuProvider,
                           GInterfaceInitFunc initMenuProvider,
                           void (*itemsChanged)(gpointer provider));

/// Makes a file manager's item; `label` is null for a separator.
using NewMenuItem = GObject* (*)(const char* name, const char* label);
/// A file manager's file-info object's location (a new reference, or null).
using LocationOf = GFile* (*)(gpointer fileInfo);

/// What a file manager shows of its extension items, and how it makes them.
struct ItemStyle {
    LocationOf locationOf;
    NewMenuItem newItem;
    finderbus::Separators separators;
};

/// The items of `provider` (a ProviderObject) for the selection `files`
/// (file-info objects) or a folder's background: a new list the file manager
/// takes over, null when there is nothing to show. Insensitive items have
/// "sensitive" false; choosing a sensitive one delivers its action.
GList* selectionItems(gpointer provider, GList* files, const ItemStyle& style);
GList* backgroundItems(gpointer provider, gpointer folder, const ItemStyle& style);

} // namespace corvane::integrations
