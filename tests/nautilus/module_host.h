#pragma once

// What the GNOME Files module tests and benchmark stand on: the module loaded
// the way GNOME Files loads it, file-info objects of our own and the session
// bus of this process.

#include "finderbus/finder_bus.h"
#include "integrations/nautilus/nautilus_extension.h"
#include "tests/integration/process_harness.h"

#include <gmodule.h>

#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::testing {

/// Makes `bus` this process's session bus (before anything connected to
/// one) and keeps GIO to local files. Returns the shared connection, which
/// stays open (and does not end the process) when the bus goes away.
GDBusConnection* useAsSessionBus(const PrivateBus& bus);

/// Whether someone owns the extension's bus name, polled until `timeout`.
bool waitForExtension(GDBusConnection* bus, std::chrono::milliseconds timeout);

/// Runs the default main context until `done` holds or `timeout` passes.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

/// A module loaded as GNOME Files loads one: GModule with lazy, local
/// binding inside a GTypeModule, `nautilus_module_initialize`, then one
/// object of each type `nautilus_module_list_types` names. Like GNOME Files,
/// it never unloads the module; one per process.
class LoadedModule {
  public:
    /// Throws std::runtime_error when the module cannot be loaded.
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    /// The listed types, in order.
    const std::vector<GType>& types() const { return types_; }
    /// The object of the first type that provides menus, or null.
    NautilusMenuProvider* menuProvider() const;
    /// Whether the module exports `symbol` to the dynamic linker.
    bool exports(const char* symbol) const;

  private:
    GModule* library_ = nullptr;
    std::vector<GType> types_;
    std::vector<GObject*> objects_;
};

/// An item as GNOME Files shows it.
struct ShownItem {
    std::string label;
    bool sensitive = true;
    bool operator==(const ShownItem&) const = default;
};

/// Prints `label` and "(insensitive)" when it is, for test failures.
void PrintTo(const ShownItem& item, std::ostream* out);

/// The items a provider returned, owned.
class MenuItems {
  public:
    explicit MenuItems(GList* items) : items_(items) {}
    ~MenuItems();
    MenuItems(const MenuItems&) = delete;
    MenuItems& operator=(const MenuItems&) = delete;

    std::vector<ShownItem> shown() const;
    GList* items() const { return items_; }

  private:
    GList* items_;
};

/// A GNOME Files window's menus for a selection in a folder. Like GNOME
/// Files, it asks for the selection's items and then the background's, and
/// registers each item's action under the item's name in one group for the
/// window, where a later item of the same name replaces an earlier one.
class WindowMenus {
  public:
    WindowMenus(NautilusMenuProvider* provider, const std::vector<std::string>& selectionUris,
                const std::string& folderUri);

    /// Chooses the item labelled `label` in the selection's menu (or the
    /// background's), as a click would: runs the action registered under that
    /// item's name. False when the menu has no such item.
    bool chooseInSelection(const std::string& label) const { return choose(selection_, label); }
    bool chooseInBackground(const std::string& label) const { return choose(background_, label); }

  private:
    bool choose(const MenuItems& menu, const std::string& label) const;

    MenuItems selection_;
    MenuItems background_;
    std::map<std::string, NautilusMenuItem*> actions_; // by item name
};

/// Counts the provider's "items-updated" signals, GNOME Files' cue to ask
/// for its items again.
class ItemsUpdatedCounter {
  public:
    explicit ItemsUpdatedCounter(NautilusMenuProvider* provider);
    ~ItemsUpdatedCounter();
    int count() const { return count_; }

  private:
    NautilusMenuProvider* provider_;
    gulong handler_;
    int count_ = 0;
};

/// A file-info object of our own type for `uri` (a file URI, or another).
NautilusFileInfo* newFileInfo(const std::string& uri);
/// The items for a selection of `uris`.
MenuItems fileItems(NautilusMenuProvider* provider, const std::vector<std::string>& uris);
/// The items for the background of the folder at `uri`.
MenuItems backgroundItems(NautilusMenuProvider* provider, const std::string& uri);
/// The file URI of a local path (bytes, any encoding).
std::string fileUri(const std::string& path);

} // namespace corvane::testing
