#pragma once

// FinderSync on the Linux platform over a realistic container (see
// realistic_settings.h), with a private session bus of its own unless one
// is given. The poll timer and the execute notifications are driven by hand
// (the tests' fakes), so a benchmark fires the timer and delivers a
// notification itself instead of waiting for the main loop.

#include "bench/realistic_settings.h"
#include "extension/finder_sync.h"
#include "host/extension_services.h"
#include "host/host_finder_sync_controller.h"
#include "platform/linux/linux_platform.h"
#include "tests/fakes/fake_notification_center.h"
#include "tests/fakes/fake_scheduler.h"
#include "tests/integration/process_harness.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>

#include <optional>
#include <ostream>
#include <stdexcept>

namespace corvane::bench {

/// A connection to `bus`, for the platform's notifications and desktop services.
inline Glib::RefPtr<Gio::DBus::Connection> connectTo(const testing::PrivateBus& bus) {
    Gio::init();
    return Gio::DBus::Connection::create_for_address_sync(
        bus.address(), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                           Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
}

class RealisticFinderSync {
  public:
    explicit RealisticFinderSync(OptionsIn optionsIn, int grantedFolders = 8,
                                 Glib::RefPtr<Gio::DBus::Connection> connection = {})
        : settings_(optionsIn, grantedFolders),
          connection_(connection ? connection : connectTo(bus_.emplace())),
          platform_(connection_, log_, config(settings_)), finderSync_(services()) {
        if (finderSync_.securedURLs().size() != static_cast<std::size_t>(grantedFolders) ||
            finderSync_.menuOptions().size() != 7)
            throw std::runtime_error("the loads did not find the settings");
    }

    FinderSync& finderSync() { return finderSync_; }
    /// The services `finderSync()` runs on, for making more such objects.
    FinderSyncServices services() {
        FinderSyncServices linux = extensionServices(platform_, controller_, log_);
        return {linux.controller, linux.settings,   linux.containers, linux.files,  linux.security,
                notifications_,   scheduler_,       linux.uuids,      linux.images, linux.log,
                linux.workspace,  linux.pasteboard, linux.alerts};
    }
    /// Fires the poll timer: one tick.
    void tick() { scheduler_.fireTimers(); }
    /// Delivers an execute notification, as the companion app posts one.
    void deliver(const Notification& notification) { notifications_.deliver(notification); }
    /// Every notification the extension posted, in order.
    const std::vector<Notification>& posted() const { return notifications_.posted; }
    RealisticSettings& settings() { return settings_; }
    const std::vector<std::string>& files() const { return settings_.files(); }

  private:
    static LinuxPlatformConfig config(const RealisticSettings& settings) {
        // No applications.ini, a fixed PATH, and a clipboard file: what the
        // menu asks of the desktop stays the same from run to run.
        return {settings.root(),
                {settings.dir() + "/applications.ini", "/usr/local/bin:/usr/bin:/bin"},
                {DesktopClipboard::Mechanism::File, settings.dir() + "/pasteboard"}};
    }

    RealisticSettings settings_;
    std::optional<testing::PrivateBus> bus_;
    Glib::RefPtr<Gio::DBus::Connection> connection_;
    std::ostream log_{nullptr}; // log lines cost nothing here
    LinuxPlatform platform_;
    HostFinderSyncController controller_;
    fakes::FakeScheduler scheduler_;
    fakes::FakeNotificationCenter notifications_;
    FinderSync finderSync_;
};

} // namespace corvane::bench
