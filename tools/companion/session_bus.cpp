#include "tools/companion/session_bus.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>

namespace corvane::tools::companion {

Outcome<Glib::RefPtr<Gio::DBus::Connection>> connectToSessionBus() {
    Gio::init();
    try {
        auto connection = Gio::DBus::Connection::get_sync(Gio::DBus::BusType::SESSION);
        connection->set_exit_on_close(false);
        return connection;
    } catch (const Glib::Error& error) {
        return failure("cannot connect to the session bus: " + std::string(error.what()));
    }
}

} // namespace corvane::tools::companion
