// The cost of one context menu: built in process on the real Linux services,
// asked for over D-Bus from another process, and the floor of reading the
// two settings files the menu depends on.

#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/finder_bus_protocol.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/glib_scheduler.h"
#include "platform/linux/host_finder_sync_controller.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/plist_codec.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/integration/process_harness.h"

#include <benchmark/benchmark.h>
#include <giomm/dbusconnection.h>
#include <giomm/init.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <thread>

namespace {

using namespace corvane;
using corvane::testing::Environment;

constexpr int kGrantedFolders = 8;
constexpr const char* kOptionKeys[] = {"newTextFile", "newTerminalHere", "newITermHere",
                                       "copyPath",    "batchRename",     "toggleHiddenFiles",
                                       "openInVSCode"};

/// A container with the running flag, 8 granted folders and the 7 options
/// (in the shared suite and in the options file), a private bus, and the
/// extension process serving on it.
struct World {
    corvane::testing::PrivateBus bus;
    corvane::testing::TempDir dir;
    std::string root = dir / "containers";
    DirectoryAppGroupContainers containers{root};
    PlistFileSettingsProvider settings{containers};
    PosixFileManager files;
    Glib::RefPtr<Gio::DBus::Connection> connection;
    std::unique_ptr<corvane::testing::Process> extension;

    World() {
        Gio::init();
        PlistDictionary options;
        for (const char* key : kOptionKeys)
            options.set(key, true);
        PlistDictionary bookmarks;
        for (int i = 0; i < kGrantedFolders; ++i) {
            std::string folder = dir / ("granted-" + std::to_string(i));
            std::filesystem::create_directories(folder);
            bookmarks.set("folder" + std::to_string(i),
                          PlistData{makeBookmarkData(folder).value()});
        }
        auto suite = settings.openSuite(contract::kAppGroupId);
        if (!suite || !suite->setObject(true, contract::kAppRunningKey) ||
            !suite->setObject(options, contract::kMenuOptionsKey) ||
            !suite->setObject(bookmarks, contract::kSecuredDirectoriesKey))
            throw std::runtime_error("cannot write the shared settings");
        std::ofstream(optionsFile().path(), std::ios::binary) << plist::writeXml(options).value();

        connection = Gio::DBus::Connection::create_for_address_sync(
            bus.address(), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                               Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
        Environment env = corvane::testing::isolatedEnvironment(bus, dir);
        env["CORVANE_GROUP_CONTAINERS"] = root;
        extension = std::make_unique<corvane::testing::Process>(
            std::vector<std::string>{CORVANE_FINDERSYNC}, env);
    }

    FileURL optionsFile() {
        return containers.containerURL(contract::kAppGroupId)
            ->appending(contract::kMenuOptionsFileName);
    }

    Glib::VariantContainerBase askForMenu() {
        return connection->call_sync(
            finderbus::kObjectPath, finderbus::kInterface, finderbus::kGetMenu,
            finderbus::encodeMenuRequest({0, {FileURL::fromPath(dir.path()), {}}}),
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
    FinderSync sync(FinderSyncServices{controller, w.settings, w.containers, w.files, security,
                                       notifications, scheduler, uuids, images, discard});
    for (auto _ : state) {
        std::optional<Menu> menu = sync.menuForMenuKind(0);
        if (!menu || menu->items.size() != 7)
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
    World& w = world();
    FileURL optionsFile = w.optionsFile();
    for (auto _ : state) {
        auto suite = w.settings.openSuite(contract::kAppGroupId);
        auto flag = suite->objectForKey(contract::kAppRunningKey);
        auto options = w.files.readPropertyListDictionary(optionsFile);
        benchmark::DoNotOptimize(flag);
        benchmark::DoNotOptimize(options);
    }
}
BENCHMARK(BM_ReadSettingsFilesFloor)->Unit(benchmark::kMicrosecond);

} // namespace
