#include "extension/actions/terminal_launch.h"

namespace corvane {

FileURL chooseTerminalApplication(const TerminalApplication& application,
                                  const std::function<bool(std::string_view)>& exists) {
    if (exists(application.preferredPath))
        return FileURL::fromPath(application.preferredPath);
    return FileURL::fromPath(application.fallbackPath);
}

} // namespace corvane
