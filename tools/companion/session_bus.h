#pragma once

// The session bus, for the commands that hear or post notifications.

#include "tools/command_line.h"

#include <glibmm/refptr.h>

namespace Gio::DBus {
class Connection;
}

namespace corvane::tools::companion {

/// A connection to the session bus that does not end the process when the
/// bus goes away; a failure when there is no bus.
Outcome<Glib::RefPtr<Gio::DBus::Connection>> connectToSessionBus();

} // namespace corvane::tools::companion
