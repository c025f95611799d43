// corvane-findersync: the extension process. Connects to the session bus,
// creates the FinderSync object on the GLib main loop, serves the file manager
// and runs until SIGINT or SIGTERM.

#include "host/batched_log.h"
#include "host/extension_services.h"
#include "host/finder_service.h"
#include "host/host_finder_sync_controller.h"
#include "host/menu_watch.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <glib-unix.h>
#include <glibmm/main.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace {

gboolean quitLoop(gpointer loop) {
    static_cast<Glib::MainLoop*>(loop)->quit();
    return G_SOURCE_CONTINUE;
}

int run() {
    Gio::init();

    Glib::RefPtr<Gio::DBus::Connection> connection;
    try {
        connection = Gio::DBus::Connection::get_sync(Gio::DBus::BusType::SESSION);
    } catch (const Glib::Error& error) {
        std::cerr << "corvane-findersync: cannot connect to the session bus: " << error.what()
                  << '\n';
        return 1;
    }
    // The bus going away must not kill the process before it has tidied up.
    connection->set_exit_on_close(false);

    auto loop = Glib::MainLoop::create();
    guint sigint = g_unix_signal_add(SIGINT, quitLoop, loop.get());
    guint sigterm = g_unix_signal_add(SIGTERM, quitLoop, loop.get());

    int exitStatus = 0;
    auto fail = [&](const std::string& reason) {
        std::cerr << "corvane-findersync: " << reason << '\n';
        exitStatus = 1;
        loop->quit();
    };
    // Without its bus the extension can neither be asked for menus nor hear
    // the companion app: it stops rather than linger.
    sigc::connection onClosed = connection->signal_closed().connect(
        [&](bool /*remotePeerVanished*/, const Glib::Error& /*error*/) {
            fail("the session bus connection closed");
        });
    {
        corvane::BatchedLog log(std::cout);
        corvane::LinuxPlatform platform(connection, std::cerr);
        corvane::HostFinderSyncController controller;
        const corvane::FinderSyncServices services =
            corvane::extensionServices(platform, controller, log);
        std::unique_ptr<corvane::FinderService> service;
        std::optional<corvane::MenuWatch> menuWatch;
        // Start-up runs from the loop, like the extension host creating its
        // principal object once the process is up.
        Glib::signal_idle().connect_once([&] {
            // An exception escaping this slot would be swallowed by the loop.
            try {
                auto started = corvane::FinderService::start(connection, services, controller, log);
                if (started) {
                    service = std::move(*started);
                    menuWatch.emplace(connection, corvane::menuFiles(platform),
                                      [&services] { return corvane::menuFacts(services); });
                }
                // A bus that went away is reported when its connection closes;
                // a second instance must not serve alongside the first.
                else if (!connection->is_closed())
                    fail(started.error().description);
            } catch (const std::exception& e) {
                fail(e.what());
            }
        });
        loop->run();
        menuWatch.reset();
        service.reset();
    }

    onClosed.disconnect();
    g_source_remove(sigint);
    g_source_remove(sigterm);
    try {
        connection->flush_sync();
    } catch (const Glib::Error&) {
        // Nothing left to deliver to a bus that is gone.
    }
    return exitStatus;
}

} // namespace

int main() {
    try {
        return run();
    } catch (const Glib::Error& e) {
        std::cerr << "corvane-findersync: " << e.what() << '\n';
    } catch (const std::exception& e) {
        std::cerr << "corvane-findersync: " << e.what() << '\n';
    }
    return 1;
}
