#pragma once

#include <glibmm/refptr.h>

#include <functional>
#include <memory>
#include <string>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

class FinderSync;
class HostFinderSyncController;

/// Serves the file manager on the session bus under "Brenvo.Corvane.FinderSync":
/// menu requests and chosen actions, each with its targeted folder and selection.
class FinderService {
  public:
    /// Called when the service cannot go on (the name is owned by another
    /// process, or the object cannot be exported), with a readable reason.
    using FailureHandler = std::function<void(const std::string& reason)>;

    FinderService(Glib::RefPtr<Gio::DBus::Connection> connection, FinderSync& finderSync,
                  HostFinderSyncController& controller, FailureHandler onFailure);
    ~FinderService();

    FinderService(const FinderService&) = delete;
    FinderService& operator=(const FinderService&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace corvane
