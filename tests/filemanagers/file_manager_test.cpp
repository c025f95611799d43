// Each file manager itself, under Xvfb on a private bus, with its module in
// place and a real corvane-findersync: a person's right-clicks and keys open
// the menus, the accessibility tree chooses the items by their labels.
//
// File managers read modules only from their own folders. So that nothing is
// left on the machine, each runs in a private mount namespace (root only)
// where the module is laid over that folder.

#include "tests/desktop/desktop_session.h"
#include "tests/integration/end_to_end.h"

#include <filesystem>
#include <functional>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

struct FileManager {
    std::string name;
    /// Started with the folder to show appended.
    std::vector<std::string> command;
    std::string module;
    /// The folder it reads modules from.
    std::string reads;
    /// Its application's name in the accessibility tree, and its window class.
    std::string application;
    /// The key that opens the menu of the selection.
    std::string menuKey = "shift+F10";
};

void PrintTo(const FileManager& fm, std::ostream* out) {
    *out << fm.name;
}

/// A private bus that starts the accessibility bus when asked, as a desktop's does.
struct AccessibleBus {
    TempDir services;
    PrivateBus bus{[this] {
        fs::copy_file("/usr/share/dbus-1/services/org.a11y.Bus.service",
                      services / "org.a11y.Bus.service");
        return services.path();
    }()};
};

class RealFileManagerTest : private AccessibleBus,
                            public EndToEnd,
                            public ::testing::WithParamInterface<FileManager> {
  protected:
    RealFileManagerTest() : EndToEnd(&bus) {}
};

TEST_P(RealFileManagerTest, ChosenItemsActOnTheSelectionOrTheFolderTheirMenuWasOpenedFor) {
    if (!canMountPrivately(env))
        GTEST_SKIP() << "needs a private mount namespace (unshare --mount), which needs root";
    const FileManager& fm = GetParam();
    const std::string folder = dir.makeFolder("folder").path();
    const std::string a = folder + "/a.txt", b = folder + "/b.txt";
    dir.writeFile("folder/a.txt", "");
    dir.writeFile("folder/b.txt", "");
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
    DesktopSession desktop(env, "1024x768x24", Accessibility::On);
    ASSERT_TRUE(desktop.started()) << "Xvfb did not start";
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1";
    env["QT_QPA_PLATFORM"] = "xcb";
    // The accessibility bus, started on demand, keeps to this display and folder.
    ASSERT_EQ(runCommand({"dbus-update-activation-environment", "--all"}, env).exitStatus, 0);
    startExtension();
    std::vector<std::string> command = fm.command;
    command.push_back(folder);
    const TempDir scratch;
    auto fileManager = startWithModuleInPlace(fm.module, fm.reads, command, env, scratch);
    auto screenshot = [&] {
        return desktop.screenshot(fm.name) + "\n" + fileManager->output(Stream::Stderr);
    };
    ASSERT_TRUE(waitUntil([&] { return !desktop.windows(fm.application).empty(); }, 30s, 50ms))
        << "no window\n"
        << screenshot();
    // A point on the folder's background in every file manager's first window.
    const std::string window = desktop.windows(fm.application).back();
    const std::vector<std::string> background{"mousemove", "--window", window, "440", "330"};
    // Opens a menu with `open` and chooses `label` in it, until `done` holds: a
    // file manager may still be loading the folder, so a menu without the item
    // or without the selection is closed and opened again. Empty when done,
    // else why not.
    auto choose = [&](const std::vector<std::string>& open, const std::string& label,
                      const std::function<bool()>& done) {
        std::vector<std::string> command{"do", fm.application, "menu item", label, "xdotool"};
        command.insert(command.end(), open.begin(), open.end());
        std::string why;
        for (int attempt = 0; attempt < 4; ++attempt) {
            const CommandResult chosen = desktop.accessible(command);
            const bool effect = chosen.exitStatus == 0 && waitUntil(done, 5s);
            // Qt's menus stay open when an item is chosen through the tree.
            desktop.xdotool({"key", "Escape"});
            if (effect)
                return std::string();
            why = chosen.exitStatus == 0 ? label + " chosen, without effect" : chosen.err;
        }
        return why + screenshot();
    };

    // Both files selected, the selection's menu: its commands get the two files.
    // The window takes the keyboard (there is no window manager), and the
    // pointer leaves it: an item under the pointer would take the keyboard's place.
    std::vector<std::string> selectionMenu = background;
    selectionMenu.insert(selectionMenu.end(), {"click", "1", "windowfocus", window, "mousemove",
                                               "0", "767", "key", "ctrl+a", fm.menuKey});
    // Both files, in either order, one a line.
    auto bothFiles = [&](const std::string& text, const std::string& end) {
        return text == a + "\n" + b + end || text == b + "\n" + a + end;
    };
    EXPECT_EQ(
        choose(selectionMenu, "Copy Path", [&] { return bothFiles(finder({"paste"}).out, ""); }),
        "");
    auto requestHolds = [&](const std::string& text) {
        const std::string request = companion({"read", "batchRenameRequest"}).out;
        return request.find(text) != request.npos;
    };
    EXPECT_EQ(choose(selectionMenu, "Batch Rename",
                     [&] {
                         return requestHolds(a) && requestHolds(b) &&
                                requestHolds(R"("isError": false)");
                     }),
              "");
    EXPECT_EQ(choose(selectionMenu, "Open in Visual Studio Code",
                     [&] { return bothFiles(dir.readFile("code.args"), "\n"); }),
              "");

    // The background's menu: its command gets the folder.
    std::vector<std::string> backgroundMenu = background;
    backgroundMenu.insert(backgroundMenu.end(), {"click", "1", "click", "3"});
    const std::string created = folder + "/Untitled.txt";
    EXPECT_EQ(choose(backgroundMenu, "New Text File",
                     [&] {
                         return extension->waitForLine("SUCCESS: Created file at " + created, 0ms)
                             .has_value();
                     }),
              "");
}

// The built module of NAME and the folder its file manager reads.
#define CORVANE_MODULE(NAME) CORVANE_##NAME##_MODULE, CORVANE_##NAME##_READS
const FileManager kFileManagers[] = {
#ifdef CORVANE_NAUTILUS_MODULE
    {"GnomeFiles", {"nautilus", "--new-window"}, CORVANE_MODULE(NAUTILUS), "org.gnome.Nautilus"},
#endif
#ifdef CORVANE_NEMO_MODULE
    {"Nemo", {"nemo"}, CORVANE_MODULE(NEMO), "nemo"},
#endif
#ifdef CORVANE_CAJA_MODULE
    {"Caja", {"caja", "--no-desktop"}, CORVANE_MODULE(CAJA), "caja"},
#endif
#ifdef CORVANE_THUNAR_MODULE
    {"Thunar", {"Thunar"}, CORVANE_MODULE(THUNAR), "Thunar"},
#endif
#ifdef CORVANE_DOLPHIN_MODULE
    {"Dolphin", {"dolphin", "--new-window"}, CORVANE_MODULE(DOLPHIN), "dolphin", "Menu"},
#endif
};

INSTANTIATE_TEST_SUITE_P(FileManagers, RealFileManagerTest, ::testing::ValuesIn(kFileManagers),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace corvane::testing
