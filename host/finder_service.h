#pragma once

#include "platform/error.h"

#include <glibmm/refptr.h>

#include <memory>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

class BatchedLog;
class FinderSync;
struct FinderSyncServices;
class HostFinderSyncController;

/// Serves the file manager on the session bus under "Brenvo.Corvane.FinderSync":
/// menu requests and chosen actions, each with its targeted folder and selection.
/// Owns the `FinderSync` object it serves.
class FinderService {
  public:
    /// Exports the object, takes the bus name and only then builds the
    /// `FinderSync` object from `services`, so a process that cannot serve
    /// never runs the extension's start-up. Call it from the main loop and
    /// return to the loop only afterwards: a call that is already waiting
    /// then finds everything in place. Fails with a readable reason when
    /// another process owns the name, the object cannot be exported, or the
    /// bus does not answer. `log`, the log stream of `services`, is held
    /// while a menu is built, so the menu's lines go out in one write.
    static Expected<std::unique_ptr<FinderService>>
    start(Glib::RefPtr<Gio::DBus::Connection> connection, const FinderSyncServices& services,
          HostFinderSyncController& controller, BatchedLog& log);
    ~FinderService();

    FinderService(const FinderService&) = delete;
    FinderService& operator=(const FinderService&) = delete;

  private:
    struct Impl;
    explicit FinderService(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace corvane
