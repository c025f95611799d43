#pragma once

#include "extension/finder_sync.h"

#include <glibmm/refptr.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

class HostFinderSyncController;

/// Builds and owns every Linux platform service the extension runs on.
class LinuxPlatform {
  public:
    /// Log lines go to `log`; what the process itself has to say (an alert
    /// with no desktop to show it) to `diagnostics`.
    LinuxPlatform(Glib::RefPtr<Gio::DBus::Connection> connection, std::ostream& log,
                  std::ostream& diagnostics);
    ~LinuxPlatform();

    /// The services, handed to `FinderSync` by reference.
    FinderSyncServices services();
    /// The controller the host fills from each request of the file manager.
    HostFinderSyncController& controller();
    /// The files the menu is read from: the shared settings suite's and the
    /// options file, where each would be.
    std::vector<std::string> menuFiles();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace corvane
