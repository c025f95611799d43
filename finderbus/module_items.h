#pragma once

// What every file manager's module does between its own types and the
// client: the request for a selection or a folder, the items for the
// extension's menu, and the delivery of a chosen item.

#include "finderbus/finder_bus_client.h"

#include <memory>

namespace corvane::finderbus {

/// How long a file manager's UI thread waits for a menu: well under what a
/// person notices, since some ask on every selection change.
inline constexpr int kModuleMenuTimeoutMs = 100;

/// `kModuleMenuTimeoutMs`, or CORVANE_MENU_TIMEOUT_MS when that holds a whole
/// number of milliseconds from 10 to 10000: a slow or busy machine may need
/// longer.
int menuTimeoutMs();

/// The local path of `location`, or none for a place without one (another
/// machine, the trash, search results).
std::optional<std::string> localPath(GFile* location);

/// The request for a selection of `paths` (none stands for an item without
/// a local path): the items, and the folder of the first as the targeted
/// folder. None when the selection is empty or an item has no local path.
std::optional<RequestContext>
selectionContext(const std::vector<std::optional<std::string>>& paths);

/// The request for a folder's background; none when it has no local path.
std::optional<RequestContext> folderContext(std::optional<std::string> folder);

/// Whether a file manager draws the extension's separators.
enum class Separators { Drawn, Dropped };

/// One item of a file manager's menu for an entry of the extension's menu.
struct ModuleItem {
    /// Unique among the items of both menu kinds (`itemName`).
    std::string name;
    std::string label;
    bool separator = false;
    /// False for disabled entries and the status line.
    bool sensitive = false;
    /// What choosing the item delivers.
    ActionRequest action;
};

/// The items for the extension's menu of `kind` for `context`; none when the
/// extension shows no menu or does not answer (a debug line says why).
std::vector<ModuleItem> moduleItems(FinderBusClient& client, unsigned kind,
                                    const RequestContext& context, Separators separators);

/// Delivers a chosen item's action over the session bus without waiting
/// (the extension is started when it is not running).
void deliver(const ActionRequest& action);

/// A module's way to the extension: the client, and a watch that calls
/// `changed(data)` on the main context whenever items given earlier may be
/// out of date: the process started or ended, the extension signalled
/// MenuChanged, or it answered again after a timeout.
class ModuleConnection {
  public:
    /// None when there is no session bus. `changed` may be null.
    static std::unique_ptr<ModuleConnection> open(void (*changed)(gpointer data), gpointer data);
    ~ModuleConnection();

    FinderBusClient& client() { return client_; }

  private:
    ModuleConnection(GDBusConnection* bus, void (*changed)(gpointer data), gpointer data);

    FinderBusClient client_;
    std::unique_ptr<MenuWatch> watch_;
};

} // namespace corvane::finderbus
