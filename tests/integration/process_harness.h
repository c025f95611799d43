#pragma once

// Helpers for end-to-end tests: a private session bus, a temporary folder,
// and child processes whose output goes to files the test reads.

#include "tests/temp_dir.h"

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::testing {

using namespace std::chrono_literals;

/// A complete process environment, name to value.
using Environment = std::map<std::string, std::string>;

/// This process's own environment.
Environment currentEnvironment();

/// Polls `done` every `interval` until it holds (true) or `timeout` has
/// passed (false).
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s,
               std::chrono::milliseconds interval = 5ms);
/// `waitUntil`, iterating the default GLib main context between looks.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s);

/// Which output stream of a child process.
enum class Stream { Stdout, Stderr };

/// A child process started with its own environment. Its standard input is
/// /dev/null; standard output and standard error go to files of its own, so
/// the child never blocks on a full pipe. The child leads its own process
/// group, which the destructor kills (SIGKILL) and reaps.
class Process {
  public:
    /// Starts `argv[0]` (searched on PATH when it has no slash); a program
    /// that cannot be started exits with 127.
    Process(std::vector<std::string> argv, Environment environment);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    /// Waits until a complete line of `stream` contains `text`; returns that
    /// line, or none on timeout or when the child ended without one.
    std::optional<std::string> waitForLine(std::string_view text,
                                           std::chrono::milliseconds timeout = 10s,
                                           Stream stream = Stream::Stdout);

    /// The complete lines (without their line feed) written so far.
    std::vector<std::string> lines(Stream stream = Stream::Stdout) const;
    /// Everything written so far, including an unfinished last line.
    std::string output(Stream stream = Stream::Stdout) const;

    /// Sends `signal` to the child itself.
    void sendSignal(int signal);
    /// Waits for the child to end. Returns the exit code, or 128 + the signal
    /// number when a signal ended it; none when it is still running after
    /// `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout = 10s);

  private:
    TempDir dir_; // holds the "stdout" and "stderr" files
    pid_t pid_ = -1;
    std::optional<int> exitStatus_;
};

/// What a finished command printed and how it ended.
struct CommandResult {
    /// Exit code, 128 + signal number, or -1 when it timed out (it was killed).
    int exitStatus = -1;
    std::string out;
    std::string err;
};

/// Runs `argv` to its end (killing it after `timeout`) with `environment`.
CommandResult runCommand(std::vector<std::string> argv, Environment environment,
                         std::chrono::milliseconds timeout = 20s);

/// A private D-Bus session bus: a child dbus-daemon with a configuration of
/// its own, listening in its own temporary folder. Killed when destroyed.
class PrivateBus {
  public:
    /// Starts programs by D-Bus activation only from the service files in
    /// `servicesFolder`; without one, nothing on the machine is started by a
    /// call. Throws std::runtime_error when the daemon does not come up.
    explicit PrivateBus(const std::optional<std::string>& servicesFolder = std::nullopt);

    /// The address for DBUS_SESSION_BUS_ADDRESS.
    const std::string& address() const { return address_; }

  private:
    TempDir dir_;
    std::unique_ptr<Process> daemon_;
    std::string address_;
};

/// The environment for a program under test: this process's environment with
/// DBUS_SESSION_BUS_ADDRESS of `bus`, CORVANE_GROUP_CONTAINERS=<dir>/containers,
/// HOME=<dir>/home and the XDG base folders inside it (all created), GIO kept
/// to local files and in-memory settings, and DISPLAY / WAYLAND_DISPLAY
/// removed so that the programs take their no-desktop paths.
Environment isolatedEnvironment(const PrivateBus& bus, const TempDir& dir);

} // namespace corvane::testing
