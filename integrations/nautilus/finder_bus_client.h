#pragma once

// The module's side of the file manager's D-Bus interface: asks
// corvane-findersync for a menu and delivers the action a person chose.

#include "platform/linux/finder_bus_names.h"

#include <gio/gio.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::nautilus {

/// What a request concerns: the targeted folder (none allowed) and the
/// selected items in GNOME Files' order, as local paths (bytes, any encoding).
struct RequestContext {
    std::optional<std::string> targeted;
    std::vector<std::string> selected;
    bool operator==(const RequestContext&) const = default;
};

/// Which menu GNOME Files is filling.
enum class MenuKind : guint32 {
    Items = finderbus::kMenuKindItems,
    Container = finderbus::kMenuKindContainer,
};

/// One entry of the extension's menu as GNOME Files shows it (it draws no
/// separators for extensions, so there are none here).
struct MenuEntry {
    std::string title;
    /// The action selector; empty for an item that has none (the status line).
    std::string selector;
    bool enabled = true;
    bool operator==(const MenuEntry&) const = default;
};

/// The name of an entry's item. GNOME Files registers each item's action
/// under its name in one group per window, which holds a selection's items
/// and the background's at once: the name tells the two menus apart, and a
/// command keeps its name from one request to the next. `taken` holds the
/// names already given in this menu.
std::string itemName(MenuKind kind, std::string_view selector,
                     const std::vector<std::string>& taken);

/// How long GNOME Files' UI thread waits for a menu: well under what a
/// person notices, since it asks on every selection change.
inline constexpr int kMenuTimeoutMs = 100;

/// Asks for the menu and waits at most kMenuTimeoutMs. Empty when there is
/// no menu (the companion app is not running), when no extension process
/// answers in time, and on any error; the call itself may start the process
/// by D-Bus activation, for a later request to find.
std::vector<MenuEntry> askForMenu(GDBusConnection* bus, MenuKind kind,
                                  const RequestContext& context);

/// Calls `changed(data)` on the caller's thread-default main context whenever
/// the extension's menu may have changed: its process started or ended, or
/// it says so. Stops when destroyed.
class MenuWatch {
  public:
    MenuWatch(GDBusConnection* bus, void (*changed)(gpointer data), gpointer data);
    ~MenuWatch();
    MenuWatch(const MenuWatch&) = delete;
    MenuWatch& operator=(const MenuWatch&) = delete;

  private:
    static void onSignal(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, gpointer watch);

    GDBusConnection* bus_;
    void (*changed_)(gpointer data);
    gpointer data_;
    guint ownerChanged_ = 0;
    guint menuChanged_ = 0;
};

/// Sends PerformAction and returns at once: an action may run long. A
/// failure is logged as a warning when the reply comes, on the thread-default
/// main context of the caller.
void performAction(GDBusConnection* bus, const std::string& selector,
                   const RequestContext& context);

} // namespace corvane::nautilus
