// The install step: everything lands inside the prefix, each module where its
// file manager reads modules when the prefix is /usr, and an installed module
// starts the installed extension process by D-Bus activation.

#include "tests/filemanagers/module_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

TEST(InstallTest, InstallsInsideThePrefixAndAModuleStartsTheExtension) {
    // Staged below DESTDIR first, so that a rule that breaks out of the
    // prefix writes nothing outside the test's folders.
    TempDir prefix, stage;
    Environment staged = currentEnvironment();
    staged["DESTDIR"] = stage.path();
    CommandResult install = runCommand(
        {CORVANE_CMAKE, "--install", CORVANE_BUILD_DIR, "--prefix", prefix.path()}, staged, 60s);
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;

    const std::string servicesDir = "share/dbus-1/services";
    std::set<std::string> expected{"bin/corvane-companion",
                                   "bin/corvane-finder",
                                   "bin/corvane-findersync",
                                   "bin/corvane-plus",
                                   servicesDir + "/Brenvo.Corvane.FinderSync.service",
                                   servicesDir + "/Brenvo.Corvane.Plus.service",
                                   "share/applications/Brenvo.Corvane.Plus.desktop",
                                   "share/icons/hicolor/scalable/apps/Brenvo.Corvane.Plus.svg",
                                   "share/metainfo/brenvo.corvane.plus.metainfo.xml"};
    for (const char* program :
         {"corvane-findersync", "corvane-finder", "corvane-companion", "corvane-plus"})
        expected.insert("share/man/man1/" + std::string(program) + ".1");
    for (const BuiltModule& module : builtModules()) {
        expected.insert(module.installDir + "/" + fs::path(module.path).filename().string());
        // With --prefix /usr each module lands where its file manager reads
        // modules, and it exports its file manager's entry points only.
        EXPECT_EQ("/usr/" + module.installDir, module.reads) << module.fileManager;
        std::istringstream symbols(
            runCommand({"nm", "-D", "--defined-only", "-j", module.path}, currentEnvironment())
                .out);
        EXPECT_EQ(std::set<std::string>(std::istream_iterator<std::string>(symbols), {}),
                  std::set(module.entryPoints.begin(), module.entryPoints.end()));
    }
    std::set<std::string> installed;
    std::ifstream manifest(CORVANE_BUILD_DIR "/install_manifest.txt");
    // A file outside the prefix shows as "../...".
    for (std::string line; std::getline(manifest, line);)
        installed.insert(fs::path(line).lexically_relative(prefix.path()));
    EXPECT_EQ(installed, expected);
    fs::copy(stage / prefix.path().substr(1), prefix.path(), fs::copy_options::recursive);

    PrivateBus bus(prefix / servicesDir);
    useAsSessionBus(bus);
    TempDir home;
    Environment env = isolatedEnvironment(bus, home);
    // The extension the bus starts gets the test's environment.
    ASSERT_EQ(runCommand({"dbus-update-activation-environment", "--all"}, env).exitStatus, 0);
    CommandResult running = runCommand({prefix / "bin/corvane-companion", "running", "on"}, env);
    ASSERT_EQ(running.exitStatus, 0) << running.err;
    const BuiltModule& module = builtModules().front();
    auto host =
        module.load(prefix / module.installDir + "/" + fs::path(module.path).filename().string());

    // The first request starts the process (by its service file); those made
    // while it starts come back empty, the next ones have the menu.
    EXPECT_TRUE(spinUntil([&] {
        host->openMenus({}, home.path());
        return !host->items(MenuKind::Background).empty();
    }));
}

} // namespace
} // namespace corvane::testing
