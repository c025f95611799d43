// GNOME Files itself, under Xvfb on a private bus, with the module in place
// and a real corvane-findersync: a right-click on a folder's background shows
// the extension's item, and the keyboard chooses it.
//
// GNOME Files reads modules only from its own folder. So that nothing is left
// on the machine, it runs in a private mount namespace (root only) where a
// temporary folder holding the module is bind-mounted over that folder.

#include "tests/integration/end_to_end.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using GnomeFilesTest = EndToEnd;

TEST_F(GnomeFilesTest, BackgroundMenuShowsTheExtensionsItemAndChoosingItRunsIt) {
    if (runCommand({"unshare", "--mount", "true"}, env).exitStatus != 0)
        GTEST_SKIP() << "needs a private mount namespace (unshare --mount), which needs root";
    const std::string folder = dir.makeFolder("folder").path();
    const std::string modules = dir.makeFolder("modules").path();
    fs::copy_file(CORVANE_NAUTILUS_MODULE, modules + "/libcorvane-nautilus.so");
    companion({"running", "on"});
    companion({"options", "newTextFile=true"});
    startExtension();
    const std::size_t startupLines = extension->lines().size();

    VirtualDisplay display(env, "1024x768x24");
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    env["DISPLAY"] = display.name();
    env["GSK_RENDERER"] = "cairo";
    env["NO_AT_BRIDGE"] = "1";
    auto xdotool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        return runCommand(std::move(args), env, 10s);
    };
    // GNOME Files' visible windows in stacking order (a popover is a window of its own).
    auto windows = [&] {
        std::istringstream ids(
            xdotool({"search", "--onlyvisible", "--class", "org.gnome.Nautilus"}).out);
        std::vector<std::string> found;
        for (std::string id; ids >> id;)
            found.push_back(id);
        return found;
    };
    auto screenshot = [&] {
        const std::string path = fs::temp_directory_path() /
                                 ("corvane-gnome-files-" + std::to_string(getpid()) + ".png");
        CommandResult shot = runCommand({"import", "-window", "root", path}, env, 10s);
        return shot.exitStatus == 0 ? "screenshot: " + path : "no screenshot: " + shot.err;
    };

    Process files({"unshare", "--mount", "--propagation", "private", "--", "sh", "-c",
                   "mount --bind \"$0\" \"$1\" && exec nautilus --new-window \"$2\"", modules,
                   CORVANE_NAUTILUS_EXTENSION_DIR, folder},
                  env);
    ASSERT_TRUE(waitUntil([&] { return !windows().empty(); }, 30s, 50ms))
        << "no GNOME Files window\n"
        << files.output(Stream::Stderr) << screenshot();
    // The folder is shown once GNOME Files has asked for its background
    // menu, which has the extension load its options again.
    ASSERT_TRUE(waitUntil([&] { return extension->lines().size() > startupLines; }, 20s))
        << screenshot();

    xdotool({"mousemove", "--window", windows().front(), "500", "400", "click", "3"});
    ASSERT_TRUE(waitUntil([&] { return windows().size() >= 2; }, 10s, 50ms)) << "no context menu\n"
                                                                             << screenshot();
    // Up from the open menu reaches its last item, Properties, first; the
    // extension's item stands just above it.
    std::this_thread::sleep_for(200ms);
    xdotool({"key", "Up", "Up", "Return"});
    const std::string created = folder + "/Untitled.txt";
    EXPECT_TRUE(extension->waitForLine("SUCCESS: Created file at " + created))
        << "the item was not chosen\n"
        << screenshot();
    EXPECT_TRUE(fs::is_regular_file(created));
}

} // namespace
} // namespace corvane::testing
