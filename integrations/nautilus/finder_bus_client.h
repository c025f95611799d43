#pragma once

// The module's side of the file manager's D-Bus interface: asks
// corvane-findersync for a menu and delivers the action a person chose.

#include "platform/linux/finder_bus_names.h"

#include <gio/gio.h>

#include <optional>
#include <string>
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

/// How long GNOME Files' UI thread waits for a menu: well under what a
/// person notices, since it asks on every selection change.
inline constexpr int kMenuTimeoutMs = 100;

/// Asks for the menu and waits at most kMenuTimeoutMs. Empty when there is
/// no menu (the companion app is not running), when no extension process
/// answers in time, and on any error; the call itself may start the process
/// by D-Bus activation, for a later request to find.
std::vector<MenuEntry> askForMenu(GDBusConnection* bus, MenuKind kind,
                                  const RequestContext& context);

/// Sends PerformAction and returns at once: an action may run long. A
/// failure is logged as a warning when the reply comes, on the thread-default
/// main context of the caller.
void performAction(GDBusConnection* bus, const std::string& selector,
                   const RequestContext& context);

} // namespace corvane::nautilus
