#pragma once

#include "extension/finder_sync.h"
#include "platform/linux/linux_platform.h"

#include <ostream>

namespace corvane {

/// The services `FinderSync` runs on in this process: the Linux platform's,
/// the controller the host fills from each request, and the log stream.
inline FinderSyncServices extensionServices(LinuxPlatform& platform,
                                            FinderSyncController& controller, std::ostream& log) {
    return FinderSyncServices{controller,
                              platform.settings(),
                              platform.containers(),
                              platform.files(),
                              platform.security(),
                              platform.notifications(),
                              platform.scheduler(),
                              platform.uuids(),
                              platform.images(),
                              log,
                              platform.workspace(),
                              platform.pasteboard(),
                              platform.alerts()};
}

} // namespace corvane
