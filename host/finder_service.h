#pragma once

#include <glibmm/refptr.h>

#include <memory>

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
    FinderService(Glib::RefPtr<Gio::DBus::Connection> connection, FinderSync& finderSync,
                  HostFinderSyncController& controller);
    ~FinderService();

    FinderService(const FinderService&) = delete;
    FinderService& operator=(const FinderService&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace corvane
