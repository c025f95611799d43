// GNOME Files itself, under Xvfb on a private bus, with the module in place
// and a real corvane-findersync: the keyboard chooses the extension's items
// from a selection's menu and from a folder's background.
//
// GNOME Files reads modules only from its own folder. So that nothing is left
// on the machine, it runs in a private mount namespace (root only) where a
// temporary folder holding the module is bind-mounted over that folder.

#include "tests/desktop/desktop_session.h"
#include "tests/integration/end_to_end.h"

#include <filesystem>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using GnomeFilesTest = EndToEnd;

TEST_F(GnomeFilesTest, SelectionAndBackgroundMenusActOnWhatTheyWereOpenedFor) {
    if (!canMountPrivately(env))
        GTEST_SKIP() << "needs a private mount namespace (unshare --mount), which needs root";
    const std::string folder = dir.makeFolder("folder").path();
    dir.writeFile("folder/a.txt", "");
    dir.writeFile("folder/b.txt", "");
    const std::string modules = dir.makeFolder("modules").path();
    fs::copy_file(CORVANE_NAUTILUS_MODULE, modules + "/libcorvane-nautilus.so");
    // "Visual Studio Code" is a program that records what it was asked to open.
    dir.makeFolder("home/.config/corvane");
    dir.writeFile("code", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    fs::permissions(dir / "code", fs::perms::owner_all);
    dir.writeFile("home/.config/corvane/applications.ini",
                  "[Visual Studio Code]\nExec=" + dir / "code" + " %F\n");
    companion({"running", "on"});
    companion(
        {"options", "newTextFile=true", "copyPath=true", "batchRename=true", "openInVSCode=true"});

    // The extension copies to the display's clipboard, so it starts with one.
    DesktopSession desktop(env);
    ASSERT_TRUE(desktop.started()) << "Xvfb did not start";
    startExtension();
    const std::size_t startupLines = extension->lines().size();
    const std::string files = "org.gnome.Nautilus";
    auto windows = [&] { return desktop.windows(files); };
    auto screenshot = [&] { return desktop.screenshot("gnome-files"); };
    // Chooses the extension's item `fromLast` places above the last one (Properties).
    auto choose = [&](std::vector<std::string> keys, int fromLast) {
        return desktop.chooseFromContextMenu(files, std::move(keys), fromLast);
    };

    auto nautilus = startWithFolderMounted(modules, CORVANE_NAUTILUS_EXTENSION_DIR,
                                           {"nautilus", "--new-window", folder}, env);
    ASSERT_TRUE(waitUntil([&] { return !windows().empty(); }, 30s, 50ms))
        << "no GNOME Files window\n"
        << nautilus->output(Stream::Stderr) << screenshot();
    // The folder is shown once GNOME Files has asked for its background
    // menu, which has the extension load its options again.
    ASSERT_TRUE(waitUntil([&] { return extension->lines().size() > startupLines; }, 20s))
        << screenshot();

    // Both files selected, the selection's menu: its commands get the two files.
    // The pointer leaves the window: an item under it would take the keyboard's place.
    desktop.xdotool({"mousemove", "--window", windows().front(), "500", "400", "click", "1"});
    desktop.xdotool({"mousemove", "1000", "750"});
    const std::size_t shownLines = extension->lines().size();
    desktop.xdotool({"key", "ctrl+a"});
    // GNOME Files asks for the selection's items when the selection changes.
    ASSERT_TRUE(waitUntil([&] { return extension->lines().size() > shownLines; }, 10s))
        << screenshot();
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(choose({"shift+F10"}, 3)) << "no selection menu\n" << screenshot();
    const std::string a = folder + "/a.txt", b = folder + "/b.txt";
    std::string pasted;
    EXPECT_TRUE(waitUntil([&] { return (pasted = finder({"paste"}).out).size() > a.size(); }))
        << screenshot();
    EXPECT_TRUE(pasted == a + "\n" + b || pasted == b + "\n" + a) << pasted;

    ASSERT_TRUE(choose({"shift+F10"}, 2)) << screenshot();
    std::string request;
    EXPECT_TRUE(waitUntil([&] {
        return (request = companion({"read", "batchRenameRequest"}).out).find(b) != request.npos;
    })) << request
        << screenshot();
    EXPECT_NE(request.find(a), request.npos) << request;
    EXPECT_NE(request.find(R"("isError": false)"), request.npos) << request;

    ASSERT_TRUE(choose({"shift+F10"}, 1)) << screenshot();
    EXPECT_TRUE(waitUntil([&] { return dir.readFile("code.args").size() > a.size(); }))
        << screenshot();
    const std::string opened = dir.readFile("code.args");
    EXPECT_TRUE(opened == a + "\n" + b + "\n" || opened == b + "\n" + a + "\n") << opened;

    // The background's menu: its command gets the folder.
    desktop.xdotool({"mousemove", "--window", windows().front(), "500", "400", "click", "3"});
    ASSERT_TRUE(waitUntil([&] { return windows().size() >= 2; }, 10s, 50ms)) << "no context menu\n"
                                                                             << screenshot();
    std::this_thread::sleep_for(200ms);
    desktop.xdotool({"key", "Up", "Up", "Up", "Up", "Up", "Return"});
    const std::string created = folder + "/Untitled.txt";
    EXPECT_TRUE(extension->waitForLine("SUCCESS: Created file at " + created))
        << "the item was not chosen\n"
        << screenshot();
    EXPECT_TRUE(fs::is_regular_file(created));
}

} // namespace
} // namespace corvane::testing
