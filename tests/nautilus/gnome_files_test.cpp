// GNOME Files itself, under Xvfb on a private bus, with the module in place
// and a real corvane-findersync: a right-click on a folder's background shows
// the extension's item, and the keyboard chooses it.
//
// GNOME Files reads modules only from its own folder. So that nothing is left
// on the machine, it runs in a private mount namespace (root only) where a
// temporary folder holding the module is bind-mounted over that folder.

#include "tests/nautilus/module_host.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

/// A desktop for one test: Xvfb on a display of its own, driven by xdotool.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(const Environment& env)
        : server_({"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
                  env) {
        if (std::optional<std::string> number = server_.waitForLine("", 10s))
            name_ = ":" + *number;
    }
    /// The DISPLAY value, empty when the server did not come up.
    const std::string& name() const { return name_; }

    /// The visible windows of the program with WM_CLASS `windowClass`, in
    /// stacking order (a popover is a window of its own).
    std::vector<std::string> windows(const std::string& windowClass) const {
        std::istringstream ids(xdotool({"search", "--onlyvisible", "--class", windowClass}).out);
        std::vector<std::string> windows;
        for (std::string id; ids >> id;)
            windows.push_back(id);
        return windows;
    }
    /// Waits until `windowClass` has `count` visible windows.
    bool waitForWindows(const std::string& windowClass, std::size_t count,
                        std::chrono::milliseconds timeout) const {
        const auto deadline = Clock::now() + timeout;
        while (windows(windowClass).size() < count) {
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }
    CommandResult xdotool(std::vector<std::string> args) const {
        args.insert(args.begin(), "xdotool");
        return runCommand(std::move(args), {{"DISPLAY", name_}, {"PATH", "/usr/bin:/bin"}}, 10s);
    }
    /// Saves the screen for a failure message; returns its path or a reason.
    std::string screenshot() const {
        const std::string path = fs::temp_directory_path() /
                                 ("corvane-gnome-files-" + std::to_string(getpid()) + ".png");
        CommandResult shot = runCommand({"import", "-display", name_, "-window", "root", path},
                                        currentEnvironment(), 10s);
        return shot.exitStatus == 0 ? "screenshot: " + path : "no screenshot: " + shot.err;
    }

  private:
    Process server_;
    std::string name_;
};

TEST(GnomeFilesTest, BackgroundMenuShowsTheExtensionsItemAndChoosingItRunsIt) {
    if (runCommand({"unshare", "--mount", "true"}, currentEnvironment()).exitStatus != 0)
        GTEST_SKIP() << "needs a private mount namespace (unshare --mount), which needs root";

    PrivateBus bus;
    GDBusConnection* session = useAsSessionBus(bus);
    FinderCallMonitor monitor(bus.address());
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
    const std::string folder = dir.makeFolder("folder").path();
    const std::string modules = dir.makeFolder("modules").path();
    fs::copy_file(CORVANE_NAUTILUS_MODULE, modules + "/libcorvane-nautilus.so");

    for (std::vector<std::string> args :
         {std::vector<std::string>{"running", "on"}, {"options", "newTextFile=true"}}) {
        args.insert(args.begin(), CORVANE_COMPANION);
        CommandResult result = runCommand(args, env);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    Process extension({CORVANE_FINDERSYNC}, env);
    ASSERT_TRUE(waitForExtension(session, 10s)) << extension.output(Stream::Stderr);

    VirtualDisplay display(env);
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    env["DISPLAY"] = display.name();
    env["GSK_RENDERER"] = "cairo";
    env["NO_AT_BRIDGE"] = "1";
    Process files({"unshare", "--mount", "--propagation", "private", "--", "sh", "-c",
                   "mount --bind \"$0\" \"$1\" && exec nautilus --new-window \"$2\"", modules,
                   CORVANE_NAUTILUS_EXTENSION_DIR, folder},
                  env);
    const std::string windowClass = "org.gnome.Nautilus";
    ASSERT_TRUE(display.waitForWindows(windowClass, 1, 30s))
        << "no GNOME Files window\n"
        << files.output(Stream::Stderr) << display.screenshot();
    // The folder is shown once GNOME Files has asked for its background menu.
    const FinderCall background{"GetMenu", "1", {folder, {}}};
    ASSERT_TRUE(monitor.waitForCalls(1, 20s)) << display.screenshot();
    EXPECT_EQ(monitor.calls().front(), background);

    const std::string window = display.windows(windowClass).front();
    display.xdotool({"mousemove", "--window", window, "500", "400", "click", "3"});
    ASSERT_TRUE(display.waitForWindows(windowClass, 2, 10s)) << "no context menu\n"
                                                             << display.screenshot();
    // Up from the open menu reaches its last item, Properties, first; the
    // extension's item stands just above it.
    std::this_thread::sleep_for(200ms);
    display.xdotool({"key", "Up", "Up", "Return"});

    const FinderCall chosen{"PerformAction", "createNewTextFile:", {folder, {}}};
    const auto performed = [&] {
        for (const FinderCall& call : monitor.calls()) {
            if (call == chosen)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(spinUntil(performed, 10s)) << "the item was not chosen\n" << display.screenshot();
    const std::string created = folder + "/Untitled.txt";
    EXPECT_TRUE(extension.waitForLine("SUCCESS: Created file at " + created));
    EXPECT_TRUE(fs::is_regular_file(created));
}

} // namespace
} // namespace corvane::testing
