// corvane-plus as a person meets it, under Xvfb on a private bus with GNOME
// Files, the GNOME Files module and corvane-findersync: the settings window
// switches two commands on, GNOME Files' menu sends a batch rename that the
// companion's window answers, and "Show/Hide Hidden Files" shows a dot-file.
// Started as at login it shows no window, and "appIsRunning" holds until
// SIGTERM ends it.
//
// GNOME Files reads modules only from its own folder: it runs in a private
// mount namespace (root only), see tests/desktop/desktop_session.h.

#include "tests/desktop/desktop_session.h"
#include "tests/integration/end_to_end.h"
#include "tests/integration/fake_bus_service.h"

#include <csignal>
#include <filesystem>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

using CompanionEndToEnd = EndToEnd;

TEST_F(CompanionEndToEnd, RenamesFromTheFileManagerAndShowsHiddenFiles) {
    if (!canMountPrivately(env))
        GTEST_SKIP() << "needs a private mount namespace (unshare --mount), which needs root";
    const std::string folder = dir.makeFolder("folder").path();
    for (const char* name : {"a.txt", "b.txt", "c.txt", ".hidden"})
        dir.writeFile(std::string("folder/") + name, name);

    // GSettings through dconf and accessibility, each on this test's own bus.
    env.erase("GSETTINGS_BACKEND");
    Process dconf({"/usr/libexec/dconf-service"}, env);
    Process a11y({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"}, env);
    FakeBusService notifications(env["DBUS_SESSION_BUS_ADDRESS"], "org.freedesktop.Notifications");
    DesktopSession desktop(env, "1280x1024x24", Accessibility::On);
    ASSERT_TRUE(desktop.started()) << "Xvfb did not start";
    auto screenshot = [&] { return desktop.screenshot("companion"); };
    auto read = [&](const std::string& key) { return companion({"read", key}).out; };
    // Runs the accessibility driver with `args`.
    auto drive = [&](std::vector<std::string> args) {
        CommandResult result = desktop.accessible(std::move(args));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return result.exitStatus == 0;
    };
    auto gsettings = [&](const char* key) {
        return runCommand({"gsettings", "get", "org.gtk.gtk4.Settings.FileChooser", key}, env).out;
    };
    ASSERT_EQ(gsettings("show-hidden"), "false\n");
    startExtension();

    // Started at login, then by the person: the second start opens the
    // running one's settings window and ends.
    Process plus({CORVANE_PLUS, "--background"}, env);
    ASSERT_TRUE(waitUntil([&] { return read("appIsRunning") == "true\n"; })) << plus.output();
    EXPECT_FALSE(waitUntil([&] { return !desktop.windows("corvane-plus").empty(); }, 2s));
    EXPECT_EQ(runCommand({CORVANE_PLUS}, env).exitStatus, 0);
    ASSERT_TRUE(drive({"do", "corvane-plus", "check box", "Batch Rename"})) << screenshot();
    ASSERT_TRUE(drive({"do", "corvane-plus", "check box", "Show/Hide Hidden Files"}))
        << screenshot();
    // Closed, as a person would; without a window manager GTK would go on
    // giving it the keyboard meant for later windows.
    drive({"do", "corvane-plus", "push button", "Close"});

    const std::string files = "org.gnome.Nautilus";
    // Every file selected: the window takes the keyboard (there is no window
    // manager), a click on the background gives it to the view, and the
    // pointer leaves, so no item under it takes the keyboard.
    auto selectAll = [&] {
        const std::string window = desktop.windows(files).front();
        desktop.xdotool({"windowfocus", "--sync", window, "mousemove", "--window", window, "500",
                         "400", "click", "1", "mousemove", "1270", "1010", "key", "ctrl+a"});
    };
    // Opens the selection's menu and chooses `label`; a menu that came
    // without it (a busy machine) is closed and opened again.
    auto chooseFromMenu = [&](const std::string& label) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::this_thread::sleep_for(500ms);
            if (desktop.accessible({"do", files, "menu item", label, "xdotool", "key", "shift+F10"})
                    .exitStatus == 0)
                return true;
            desktop.xdotool({"key", "Escape"});
            selectAll();
        }
        return false;
    };
    const std::size_t startupLines = extension->lines().size();
    TempDir scratch;
    auto nautilus = startWithModuleInPlace(CORVANE_NAUTILUS_MODULE, CORVANE_NAUTILUS_EXTENSION_DIR,
                                           {"nautilus", "--new-window", folder}, env, scratch);
    ASSERT_TRUE(waitUntil([&] { return !desktop.windows(files).empty(); }, 30s, 50ms))
        << nautilus->output(Stream::Stderr) << screenshot();
    ASSERT_TRUE(waitUntil([&] { return extension->lines().size() > startupLines; }, 20s))
        << screenshot();
    const std::size_t shownLines = extension->lines().size();
    selectAll();
    ASSERT_TRUE(waitUntil([&] { return extension->lines().size() > shownLines; })) << screenshot();
    ASSERT_TRUE(chooseFromMenu("Batch Rename")) << screenshot();

    std::string dialog;
    ASSERT_TRUE(waitUntil([&] {
        dialog = desktop.xdotool({"search", "--onlyvisible", "--name", "^Batch Rename$"}).out;
        return !dialog.empty();
    })) << screenshot();
    // No window manager gives the new window the keyboard: a click on it does.
    std::this_thread::sleep_for(500ms);
    desktop.xdotool(
        {"mousemove", "--window", dialog.substr(0, dialog.find('\n')), "200", "110", "click", "1"});
    desktop.xdotool({"type", "--delay", "50", "Photo"});
    desktop.xdotool({"key", "Return"});
    for (const char* name : {"Photo1.txt", "Photo2.txt", "Photo3.txt"})
        EXPECT_TRUE(waitUntil([&] { return fs::exists(folder + "/" + name); })) << name << "\n"
                                                                                << screenshot();
    EXPECT_EQ(dir.readFile("folder/Photo1.txt"), "a.txt");
    const std::vector<std::string> shown = notifications.waitForCalls(1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("'Renamed 3 items'"), std::string::npos) << shown[0];

    // The selection's menu again: hidden files on, and GNOME Files lists the
    // dot-file. The keyboard went with the closed window: it comes back.
    selectAll();
    ASSERT_TRUE(chooseFromMenu("Show/Hide Hidden Files")) << screenshot();
    EXPECT_TRUE(waitUntil([&] { return gsettings("show-hidden") == "true\n"; })) << screenshot();
    EXPECT_TRUE(drive({"find", files, "any", ".hidden"})) << screenshot();

    plus.sendSignal(SIGTERM);
    EXPECT_EQ(plus.wait(), 0) << plus.output(Stream::Stderr);
    EXPECT_EQ(read("appIsRunning"), "false\n");
}

} // namespace
} // namespace corvane::testing
