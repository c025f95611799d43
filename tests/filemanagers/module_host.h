#pragma once

// The file managers' side of the modules, for the module tests and the
// benchmark: each built module loaded the way its file manager loads it and
// asked for items the way its file manager asks, about file objects of our
// own, on this process's session bus.

#include "tests/integration/process_harness.h"

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::testing {

/// An item as a file manager shows it; a separator is labelled "---".
struct ShownItem {
    std::string label;
    bool sensitive = true;
    bool operator==(const ShownItem&) const = default;
};
using Items = std::vector<ShownItem>;
void PrintTo(const ShownItem& item, std::ostream* out);

enum class MenuKind { Selection, Background };

/// A file manager's window holding a module's items.
class ModuleHost {
  public:
    virtual ~ModuleHost() = default;
    /// Asks for the items of the selection `paths`, then for those of the
    /// background of `folder` (unless empty), and holds both at once, as a
    /// window does. Paths are local (any bytes) or, with a scheme, URIs of
    /// other places.
    virtual void openMenus(const std::vector<std::string>& paths, const std::string& folder) = 0;
    virtual Items items(MenuKind kind) const = 0;
    /// Chooses the item labelled `label` in the held menu of `kind` as a
    /// click does. False when there is none.
    virtual bool choose(MenuKind kind, const std::string& label) = 0;
    /// How often the module told the file manager to ask again; none for a
    /// file manager that asks at each menu and has no such signal.
    virtual std::optional<int> updates() const = 0;
};

/// A built module and how its file manager loads it.
struct BuiltModule {
    std::string fileManager;
    std::string path;
    /// Where it is installed below the prefix, and the folder its file
    /// manager reads.
    std::string installDir;
    std::string reads;
    /// The only symbols it may export.
    std::vector<std::string> entryPoints;
    bool drawsSeparators = false;
    /// Loads the module at a path (once per process: file managers never
    /// unload modules).
    std::function<std::unique_ptr<ModuleHost>(const std::string& path)> load;
};

inline void PrintTo(const BuiltModule& module, std::ostream* out) {
    *out << module.fileManager;
}

/// Every module this build made.
const std::vector<BuiltModule>& builtModules();
std::unique_ptr<ModuleHost> loadDolphinModule(const std::string& path);

/// Makes `bus` this process's session bus (before anything connected to
/// one) and keeps GIO to local files. Returns the shared connection, which
/// stays open (and does not end the process) when the bus goes away.
GDBusConnection* useAsSessionBus(const PrivateBus& bus);

} // namespace corvane::testing
