#include "tests/desktop/desktop_session.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>

namespace corvane::testing {

DesktopSession::DesktopSession(Environment& env, const std::string& screen,
                               Accessibility accessibility)
    // -noreset: an X server resets when its last client leaves, and a client
    // connecting during the reset is refused; tests poll with short-lived
    // clients (xdotool) while the program under test connects.
    : server_({"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", screen},
              env) {
    // Xvfb prints the number of the display it took once it accepts clients.
    std::optional<std::string> number = server_.waitForLine("", 10s);
    if (!number)
        return;
    display_ = ":" + *number;
    env["DISPLAY"] = display_;
    env["GSK_RENDERER"] = "cairo";
    if (accessibility == Accessibility::Off)
        env["NO_AT_BRIDGE"] = "1";
    else
        env.erase("NO_AT_BRIDGE");
    env_ = env;
}

CommandResult DesktopSession::xdotool(std::vector<std::string> args) const {
    args.insert(args.begin(), "xdotool");
    return runCommand(std::move(args), env_, 10s);
}

std::vector<std::string> DesktopSession::windows(const std::string& windowClass) const {
    std::istringstream ids(xdotool({"search", "--onlyvisible", "--class", windowClass}).out);
    std::vector<std::string> found;
    for (std::string id; ids >> id;)
        found.push_back(id);
    return found;
}

std::string DesktopSession::screenshot(const std::string& label) const {
    const std::string path = std::filesystem::temp_directory_path() /
                             ("corvane-" + label + "-" + std::to_string(getpid()) + ".png");
    CommandResult shot = runCommand({"import", "-window", "root", path}, env_, 10s);
    return shot.exitStatus == 0 ? "screenshot: " + path : "no screenshot: " + shot.err;
}

CommandResult DesktopSession::accessible(std::vector<std::string> args) const {
    // pyatspi belongs to Debian's own Python.
    args.insert(args.begin(), {"/usr/bin/python3", CORVANE_ATSPI_DRIVER});
    return runCommand(std::move(args), env_, 30s);
}

bool canMountPrivately(const Environment& env) {
    return runCommand({"unshare", "--mount", "true"}, env).exitStatus == 0;
}

std::unique_ptr<Process> startWithModuleInPlace(const std::string& module,
                                                const std::string& folder,
                                                const std::vector<std::string>& argv,
                                                const Environment& env, const TempDir& scratch) {
    namespace fs = std::filesystem;
    fs::path existing = folder;
    while (!fs::is_directory(existing))
        existing = existing.parent_path();
    const fs::path layer = scratch / "layer",
                   copy = layer / fs::path(folder).lexically_relative(existing);
    fs::create_directories(copy);
    fs::copy_file(module, copy / fs::path(module).filename());
    const char* overlay =
        "mount -t overlay -o lowerdir=\"$0\":\"$1\" overlay \"$1\" && shift && exec \"$@\"";
    std::vector<std::string> command{"unshare", "--mount", "--propagation=private",
                                     "sh",      "-c",      overlay};
    command.insert(command.end(), {layer, existing});
    command.insert(command.end(), argv.begin(), argv.end());
    return std::make_unique<Process>(std::move(command), env);
}

} // namespace corvane::testing
