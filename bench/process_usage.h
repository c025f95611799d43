#pragma once

// What a process holds and uses, as /proc shows it: its resident memory
// (VmRSS) and the processor time it has used.

#include "tests/integration/process_harness.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
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

/// The id of the process that owns `busName` on the session bus of `env`.
/// Throws std::runtime_error when no process owns it.
inline std::string ownerOf(const testing::Environment& env, const std::string& busName) {
    // "(uint32 1234,)"
    const std::string owner = askBus(env, "GetConnectionUnixProcessID", busName);
    const std::size_t space = owner.find(' ');
    if (space == std::string::npos)
        throw std::runtime_error("no process owns " + busName);
    return std::to_string(std::stol(owner.substr(space + 1)));
}

/// VmRSS of the process that owns `busName` on the session bus of `env`, in
/// MB. Throws std::runtime_error when no process owns it or /proc shows none.
inline double residentMegabytes(const testing::Environment& env, const std::string& busName) {
    const double kib = residentKiB(ownerOf(env, busName));
    if (kib == 0)
        throw std::runtime_error("no VmRSS for " + busName);
    return kib / 1024.0;
}

/// The processor time (user and system) the process `pid` has used so far,
/// in seconds. Throws std::runtime_error when /proc shows none.
inline double processorSeconds(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
        throw std::runtime_error("no /proc/" + pid + "/stat");
    // After "pid (name)": state, then fields 4 to 13, then utime and stime.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 13; ++i)
        fields >> field;
    double user = 0, system = 0;
    if (!(fields >> user >> system))
        throw std::runtime_error("no processor times in /proc/" + pid + "/stat");
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace corvane::bench
