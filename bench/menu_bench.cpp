// The cost of one context menu: built in process on the real Linux services,
// asked for over D-Bus from another process, and the floor of reading the
// two settings files the menu depends on.

#include "bench/realistic_settings.h"
#include "extension/finder_sync.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/desktop_applications.h"
#include "platform/linux/desktop_clipboard.h"
#include "platform/linux/finder_bus_protocol.h"
#include "platform/linux/freedesktop_alert.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/freedesktop_workspace.h"
#include "platform/linux/glib_scheduler.h"
#include "platform/linux/host_finder_sync_controller.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/integration/process_harness.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>

#include <ostream>
#include <stdexcept>
#include <thread>

namespace {

using namespace corvane;
using corvane::testing::Environment;

/// A realistic container (options in the suite and in the options file), a
/// private bus, and the extension process serving on it.
struct World {
    bench::RealisticSettings settings{bench::OptionsIn::Both};
    corvane::testing::PrivateBus bus;
    corvane::testing::TempDir home;
    // Whether iTerm2 and Visual Studio Code are installed is asked of the
    // applications mapping, which reads its file and searches PATH each time.
    DesktopApplications applications{{home / "applications.ini", "/usr/local/bin:/usr/bin:/bin"}};
    PosixFileManager files{applications};
    Glib::RefPtr<Gio::DBus::Connection> connection;
    std::unique_ptr<corvane::testing::Process> extension;

    World() {
        Gio::init();
        connection = Gio::DBus::Connection::create_for_address_sync(
            bus.address(), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                               Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
        Environment env = corvane::testing::isolatedEnvironment(bus, home);
        env["CORVANE_GROUP_CONTAINERS"] = settings.root();
        extension = std::make_unique<corvane::testing::Process>(
            std::vector<std::string>{CORVANE_FINDERSYNC}, env);
    }

    Glib::VariantContainerBase askForMenu() {
        return connection->call_sync(
            finderbus::kObjectPath, finderbus::kInterface, finderbus::kGetMenu,
            finderbus::encodeMenuRequest({0, {FileURL::fromPath(settings.dir()), {}}}),
            finderbus::kBusName, 5000, Gio::DBus::CallFlags::NO_AUTO_START);
    }
};

World& world() {
    static World instance;
    return instance;
}

void BM_MenuInProcess(benchmark::State& state) {
    World& w = world();
    HostFinderSyncController controller;
    BookmarkSecurityScope security;
    DBusNotificationCenter notifications(w.connection);
    GlibScheduler scheduler;
    LibuuidSource uuids;
    FreedesktopSystemImages images;
    std::ostream discard(nullptr); // log lines cost nothing here
    FreedesktopWorkspace workspace(w.connection, w.applications, scheduler);
    DesktopClipboard pasteboard({DesktopClipboard::Mechanism::File, w.home / "pasteboard"});
    FreedesktopAlert alerts(w.connection, discard);
    FinderSync sync(FinderSyncServices{controller, w.settings.settings(), w.settings.containers(),
                                       w.files, security, notifications, scheduler, uuids, images,
                                       discard, workspace, pasteboard, alerts});
    for (auto _ : state) {
        std::optional<Menu> menu = sync.menuForMenuKind(0);
        if (!menu || menu->items.empty())
            state.SkipWithError("unexpected menu");
        benchmark::DoNotOptimize(menu);
    }
}
BENCHMARK(BM_MenuInProcess)->Unit(benchmark::kMicrosecond);

void BM_MenuOverDBus(benchmark::State& state) {
    World& w = world();
    bool ready = false;
    for (int attempt = 0; attempt < 200 && !ready; ++attempt) {
        try {
            w.askForMenu();
            ready = true;
        } catch (const Glib::Error&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    if (!ready) {
        state.SkipWithError("corvane-findersync did not start serving");
        return;
    }
    for (auto _ : state) {
        Glib::VariantContainerBase reply = w.askForMenu();
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_MenuOverDBus)->Unit(benchmark::kMicrosecond);

void BM_ReadSettingsFilesFloor(benchmark::State& state) {
    for (auto _ : state)
        bench::readBytesOf(world().settings.files());
}
BENCHMARK(BM_ReadSettingsFilesFloor)->Unit(benchmark::kMicrosecond);

} // namespace
