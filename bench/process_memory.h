#pragma once

// The resident memory of a process, as /proc shows it (VmRSS).

#include "tests/integration/process_harness.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace corvane::bench {

/// The reply of the bus daemon's `method` for `busName` on the session bus
/// of `env`, as gdbus prints it, or "" when the call fails.
inline std::string askBus(const testing::Environment& env, const char* method,
                          const std::string& busName) {
    testing::CommandResult reply = testing::runCommand(
        {"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path", "/",
         "--method", std::string("org.freedesktop.DBus.") + method, busName},
        env);
    return reply.exitStatus == 0 ? reply.out : "";
}

/// VmRSS of the process `pid` ("self": this one), in KiB; 0 when /proc shows none.
inline double residentKiB(const std::string& pid = "self") {
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stod(line.substr(6));
    return 0;
}

/// VmRSS of the process that owns `busName` on the session bus of `env`, in
/// MB. Throws std::runtime_error when no process owns it or /proc shows none.
inline double residentMegabytes(const testing::Environment& env, const std::string& busName) {
    // "(uint32 1234,)"
    const std::string owner = askBus(env, "GetConnectionUnixProcessID", busName);
    const std::size_t space = owner.find(' ');
    if (space == std::string::npos)
        throw std::runtime_error("no process owns " + busName);
    const double kib = residentKiB(std::to_string(std::stol(owner.substr(space + 1))));
    if (kib == 0)
        throw std::runtime_error("no VmRSS for " + busName);
    return kib / 1024.0;
}

} // namespace corvane::bench
