#pragma once

#include "platform/plist_value.h"

#include <glibmm/refptr.h>
#include <sigc++/connection.h>

#include <functional>
#include <string>
#include <vector>

namespace Gio {
class FileMonitor;
namespace DBus {
class Connection;
}
} // namespace Gio

namespace corvane {

struct FinderSyncServices;
class LinuxPlatform;

/// Tells the file managers when the extension's menu may have changed, so
/// that a menu they hold is asked for again: emits the interface's
/// MenuChanged signal when the files the menu is read from change.
class MenuWatch {
  public:
    /// Decides whether a change of the watched files changed the menu: the
    /// facts the menu is built from, compared with those of the last change.
    using Facts = std::function<PlistValue()>;

    /// Watches `files` (which need not exist yet); after a burst of changes
    /// has settled, emits MenuChanged when `facts` differ from before.
    MenuWatch(Glib::RefPtr<Gio::DBus::Connection> connection, const std::vector<std::string>& files,
              Facts facts);
    ~MenuWatch();

    MenuWatch(const MenuWatch&) = delete;
    MenuWatch& operator=(const MenuWatch&) = delete;

  private:
    void changed();
    void settled();

    Glib::RefPtr<Gio::DBus::Connection> connection_;
    std::vector<Glib::RefPtr<Gio::FileMonitor>> monitors_;
    Facts facts_;
    PlistValue lastFacts_;
    sigc::connection settle_;
};

/// The files the menu is read from: the shared settings suite's and the
/// options file, where each would be.
std::vector<std::string> menuFiles(LinuxPlatform& platform);

/// The facts the menu is built from: the companion app's running flag, its
/// shared menu options and the options file's content.
PlistValue menuFacts(const FinderSyncServices& services);

} // namespace corvane
