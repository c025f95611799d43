#include "tests/integration/process_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

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

// ---------------------------------------------------------------- TempDir

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder: " +
                                 std::string(std::strerror(errno)));
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
}

// ---------------------------------------------------------------- Process

namespace {

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

Process::Process(std::vector<std::string> argv, Environment environment) {
    if (argv.empty())
        throw std::runtime_error("Process: empty command line");

    // Everything the child needs is prepared before fork: between fork and
    // exec only async-signal-safe calls are allowed in a threaded process.
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    // A bare program name is searched on this process's PATH.
    int outPipe[2], errPipe[2], execPipe[2], wakePipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
        pipe2(execPipe, O_CLOEXEC) != 0 || pipe2(wakePipe, O_CLOEXEC) != 0)
        throw std::runtime_error("Process: pipe: " + std::string(std::strerror(errno)));
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], execPipe[0], execPipe[1],
                       wakePipe[0], wakePipe[1], devNull})
            ::close(fd);
        throw std::runtime_error("Process: fork: " + std::string(std::strerror(e)));
    }
    if (pid == 0) {
        setpgid(0, 0);
        // Signals blocked or ignored by the test runner must not leak into the child.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        if (devNull >= 0)
            dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execvpe(args[0], args.data(), envp.data());
        int e = errno;
        [[maybe_unused]] auto n = ::write(execPipe[1], &e, sizeof e);
        _exit(127);
    }
    setpgid(pid, pid); // also from here, so the group exists before any kill
    pid_ = pid;
    for (int fd : {outPipe[1], errPipe[1], execPipe[1], devNull})
        if (fd >= 0)
            ::close(fd);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    wakeRead_ = wakePipe[0];
    wakeWrite_ = wakePipe[1];

    int execErrno = 0;
    ssize_t n;
    do {
        n = ::read(execPipe[0], &execErrno, sizeof execErrno);
    } while (n < 0 && errno == EINTR);
    ::close(execPipe[0]);
    if (n == static_cast<ssize_t>(sizeof execErrno)) {
        int status = 0;
        waitpid(pid_, &status, 0);
        closeFd(outFd_);
        closeFd(errFd_);
        closeFd(wakeRead_);
        closeFd(wakeWrite_);
        throw std::runtime_error("Process: cannot start " + argv[0] + ": " +
                                 std::strerror(execErrno));
    }
    reader_ = std::thread([this] { readLoop(); });
}

Process::~Process() {
    if (!exitStatus_) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    } else {
        ::kill(-pid_, SIGKILL); // leftovers of the group, if any
    }
    // A grandchild outside the group could hold the pipes open forever: wake
    // the reader instead of waiting for end of file.
    char byte = 0;
    [[maybe_unused]] auto n = ::write(wakeWrite_, &byte, 1);
    if (reader_.joinable())
        reader_.join();
    closeFd(outFd_);
    closeFd(errFd_);
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
}

void Process::readLoop() {
    bool outOpen = true, errOpen = true;
    char chunk[4096];
    while (outOpen || errOpen) {
        pollfd fds[3] = {{outOpen ? outFd_ : -1, POLLIN, 0},
                         {errOpen ? errFd_ : -1, POLLIN, 0},
                         {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[2].revents)
            break;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            std::lock_guard lock(mutex_);
            Buffer& buf = i == 0 ? out_ : err_;
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                buf.ended = true;
            } else {
                buf.data.append(chunk, static_cast<std::size_t>(n));
                std::size_t nl;
                while ((nl = buf.data.find('\n', buf.consumed)) != std::string::npos) {
                    buf.lines.push_back(buf.data.substr(buf.consumed, nl - buf.consumed));
                    buf.consumed = nl + 1;
                }
            }
            changed_.notify_all();
        }
    }
    std::lock_guard lock(mutex_);
    out_.ended = err_.ended = true;
    changed_.notify_all();
}

std::optional<std::string>
Process::waitForLine(const std::function<bool(std::string_view)>& predicate,
                     std::chrono::milliseconds timeout, Stream stream, std::size_t fromLine) {
    auto deadline = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    std::size_t next = fromLine;
    for (;;) {
        const Buffer& buf = buffer(stream);
        for (; next < buf.lines.size(); ++next)
            if (predicate(buf.lines[next]))
                return buf.lines[next];
        if (buf.ended)
            return std::nullopt;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
            Clock::now() >= deadline) {
            const Buffer& last = buffer(stream);
            for (; next < last.lines.size(); ++next)
                if (predicate(last.lines[next]))
                    return last.lines[next];
            return std::nullopt;
        }
    }
}

std::optional<std::string> Process::waitForLine(std::string_view text,
                                                std::chrono::milliseconds timeout, Stream stream,
                                                std::size_t fromLine) {
    return waitForLine(
        [text](std::string_view line) { return line.find(text) != std::string_view::npos; },
        timeout, stream, fromLine);
}

std::vector<std::string> Process::lines(Stream stream) const {
    std::lock_guard lock(mutex_);
    return buffer(stream).lines;
}

std::size_t Process::lineCount(Stream stream) const {
    std::lock_guard lock(mutex_);
    return buffer(stream).lines.size();
}

std::string Process::output(Stream stream) const {
    std::lock_guard lock(mutex_);
    return buffer(stream).data;
}

void Process::sendSignal(int signal) {
    if (!exitStatus_)
        ::kill(pid_, signal);
}

bool Process::pollExit() {
    if (exitStatus_)
        return true;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        exitStatus_ = decodeStatus(status);
        return true;
    }
    return false;
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!pollExit()) {
        if (Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(5ms);
    }
    // The output may still sit in the pipes; give the reader a moment to
    // drain it (a left-behind grandchild could keep them open indefinitely).
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, Clock::now() + 500ms, [this] { return out_.ended && err_.ended; });
    return exitStatus_;
}

CommandResult runCommand(std::vector<std::string> argv, Environment environment,
                         std::chrono::milliseconds timeout) {
    Process process(std::move(argv), std::move(environment));
    CommandResult result;
    if (auto status = process.wait(timeout)) {
        result.exitStatus = *status;
    } else {
        result.timedOut = true;
        process.sendSignal(SIGKILL);
        process.wait(5s);
    }
    result.out = process.output(Stream::Stdout);
    result.err = process.output(Stream::Stderr);
    return result;
}

// ---------------------------------------------------------------- PrivateBus

PrivateBus::PrivateBus() {
    std::string config = dir_ / "bus.conf";
    {
        std::ofstream out(config);
        out << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir="
            << dir_.path()
            << "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n";
        if (!out)
            throw std::runtime_error("PrivateBus: cannot write " + config);
    }
    daemon_ = std::make_unique<Process>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + config, "--nofork",
                                 "--nopidfile", "--print-address=1"},
        currentEnvironment());
    auto line = daemon_->waitForLine([](std::string_view l) { return !l.empty(); }, 10s);
    if (!line)
        throw std::runtime_error("PrivateBus: dbus-daemon printed no address: " +
                                 daemon_->output(Stream::Stderr));
    address_ = *line;
}

PrivateBus::~PrivateBus() {
    daemon_->sendSignal(SIGTERM);
    daemon_->wait(2s);
    daemon_.reset();
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

void useBusInThisProcess(const PrivateBus& bus) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
}

} // namespace corvane::testing
