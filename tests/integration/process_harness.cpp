#include "tests/integration/process_harness.h"

#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace corvane::testing {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

Environment currentEnvironment() {
    Environment env;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string_view text(*entry);
        auto eq = text.find('=');
        if (eq == std::string_view::npos)
            continue;
        env.emplace(std::string(text.substr(0, eq)), std::string(text.substr(eq + 1)));
    }
    return env;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            return done();
        },
        timeout);
}

// ---------------------------------------------------------------- Process

Process::Process(std::vector<std::string> argv, Environment environment) {
    // Everything the child needs is prepared before fork: between fork and
    // exec only async-signal-safe calls are allowed in a threaded process.
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& string : strings)
            pointers.push_back(string.data());
        pointers.push_back(nullptr);
        return pointers;
    };
    std::vector<char*> args = pointers(argv), envp = pointers(envStrings);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    const int fds[3] = {::open("/dev/null", O_RDONLY | O_CLOEXEC),
                        ::open((dir_ / "stdout").c_str(), flags, 0600),
                        ::open((dir_ / "stderr").c_str(), flags, 0600)};
    if (fds[0] < 0 || fds[1] < 0 || fds[2] < 0)
        throw std::runtime_error("Process: open: " + std::string(std::strerror(errno)));

    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        // Signals blocked or ignored by the test runner must not leak into the child.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        for (int fd = 0; fd < 3; ++fd)
            dup2(fds[fd], fd);
        execvpe(args[0], args.data(), envp.data());
        static const char message[] = "Process: cannot start the program\n";
        [[maybe_unused]] auto n = ::write(STDERR_FILENO, message, sizeof message - 1);
        _exit(127);
    }
    for (int fd : fds)
        ::close(fd);
    if (pid_ < 0)
        throw std::runtime_error("Process: fork: " + std::string(std::strerror(errno)));
    setpgid(pid_, pid_); // also from here, so the group exists before any kill
}

Process::~Process() {
    ::kill(-pid_, SIGKILL); // the child's group, leftovers included
    if (!exitStatus_) {
        ::kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

std::optional<std::string> Process::waitForLine(std::string_view text,
                                                std::chrono::milliseconds timeout, Stream stream) {
    std::optional<std::string> found;
    waitUntil(
        [&] {
            // Whether it ended is known before the read, so that read sees everything.
            const bool ended = wait(0ms).has_value();
            for (std::string& line : lines(stream)) {
                if (line.find(text) != std::string::npos) {
                    found = std::move(line);
                    return true;
                }
            }
            return ended;
        },
        timeout);
    return found;
}

std::vector<std::string> Process::lines(Stream stream) const {
    std::vector<std::string> lines;
    std::istringstream in(output(stream));
    for (std::string line; std::getline(in, line);) {
        if (!in.eof()) // the last piece has no line feed yet
            lines.push_back(std::move(line));
    }
    return lines;
}

std::string Process::output(Stream stream) const {
    return dir_.readFile(stream == Stream::Stdout ? "stdout" : "stderr");
}

void Process::sendSignal(int signal) {
    if (!exitStatus_)
        ::kill(pid_, signal);
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
    waitUntil(
        [&] {
            int status = 0;
            if (!exitStatus_ && waitpid(pid_, &status, WNOHANG) == pid_)
                exitStatus_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
            return exitStatus_.has_value();
        },
        timeout);
    return exitStatus_;
}

CommandResult runCommand(std::vector<std::string> argv, Environment environment,
                         std::chrono::milliseconds timeout) {
    Process process(std::move(argv), std::move(environment));
    const std::optional<int> status = process.wait(timeout); // killed on return when none
    return {status.value_or(-1), process.output(Stream::Stdout), process.output(Stream::Stderr)};
}

// ---------------------------------------------------------------- PrivateBus

PrivateBus::PrivateBus(const std::optional<std::string>& servicesFolder) {
    std::string config = dir_ / "bus.conf";
    const std::string services =
        servicesFolder ? "<servicedir>" + *servicesFolder + "</servicedir>" : "";
    if (!(std::ofstream(config) << "<busconfig><type>session</type><listen>unix:dir=" << dir_.path()
                                << "</listen>" << services
                                << "<policy context=\"default\"><allow send_destination=\"*\"/>"
                                   "<allow receive_sender=\"*\"/><allow own=\"*\"/>"
                                   "</policy></busconfig>\n"
                                << std::flush))
        throw std::runtime_error("PrivateBus: cannot write " + config);
    daemon_ = std::make_unique<Process>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + config, "--nofork",
                                 "--nopidfile", "--print-address=1"},
        currentEnvironment());
    auto line = daemon_->waitForLine("unix:", 10s);
    if (!line)
        throw std::runtime_error("PrivateBus: dbus-daemon printed no address: " +
                                 daemon_->output(Stream::Stderr));
    address_ = *line;
}

// ---------------------------------------------------------------- environment

Environment isolatedEnvironment(const PrivateBus& bus, const TempDir& dir) {
    Environment env = currentEnvironment();
    std::string home = dir / "home";
    const std::pair<const char*, std::string> folders[] = {
        {"HOME", home},
        {"XDG_DATA_HOME", home + "/.local/share"},
        {"XDG_CONFIG_HOME", home + "/.config"},
        {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_STATE_HOME", home + "/.local/state"},
        {"XDG_RUNTIME_DIR", dir / "runtime"},
        {"CORVANE_GROUP_CONTAINERS", dir / "containers"},
    };
    for (const auto& [name, path] : folders) {
        fs::create_directories(path);
        env[name] = path;
    }
    fs::permissions(dir / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
    env["GIO_USE_VFS"] = "local";
    env["GSETTINGS_BACKEND"] = "memory";
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_STARTER_ADDRESS", "DBUS_STARTER_BUS_TYPE"})
        env.erase(name);
    return env;
}

} // namespace corvane::testing
