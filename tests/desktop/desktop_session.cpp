#include "tests/desktop/desktop_session.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

namespace corvane::testing {

DesktopSession::DesktopSession(Environment& env, const std::string& screen,
                               Accessibility accessibility)
    : display_(env, screen) {
    if (!started())
        return;
    env["DISPLAY"] = display_.name();
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

bool DesktopSession::chooseFromContextMenu(const std::string& windowClass,
                                           std::vector<std::string> keys, int fromLast) const {
    keys.insert(keys.begin(), "key");
    xdotool(keys);
    if (!waitUntil([&] { return windows(windowClass).size() >= 2; }, 10s, 50ms))
        return false;
    // The menu maps before it takes the keyboard.
    std::this_thread::sleep_for(200ms);
    std::vector<std::string> choice{"key"};
    choice.insert(choice.end(), fromLast + 1, "Up");
    choice.push_back("Return");
    xdotool(choice);
    return waitUntil([&] { return windows(windowClass).size() == 1; }, 10s, 50ms);
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
