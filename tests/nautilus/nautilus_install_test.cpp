// The install step: everything lands inside the prefix, and the installed
// module starts the installed extension process by D-Bus activation.

#include "tests/nautilus/module_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

/// Hands `env` to the programs the bus starts.
void setActivationEnvironment(GDBusConnection* bus, const Environment& env) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{ss}"));
    for (const auto& [name, value] : env)
        g_variant_builder_add(&builder, "{ss}", name.c_str(), value.c_str());
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "UpdateActivationEnvironment", g_variant_new("(a{ss})", &builder), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    ASSERT_NE(reply, nullptr) << error->message;
    g_variant_unref(reply);
}

TEST(NautilusInstallTest, InstallsInsideThePrefixAndTheModuleStartsTheExtension) {
    TempDir prefix;
    CommandResult install =
        runCommand({CORVANE_CMAKE, "--install", CORVANE_BUILD_DIR, "--prefix", prefix.path()},
                   currentEnvironment(), 60s);
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;

    const std::string moduleDir = CORVANE_NAUTILUS_MODULE_DIR;
    const std::string servicesDir = "share/dbus-1/services";
    std::set<std::string> installed;
    std::ifstream manifest(CORVANE_BUILD_DIR "/install_manifest.txt");
    for (std::string line; std::getline(manifest, line);) {
        ASSERT_TRUE(line.starts_with(prefix.path() + "/")) << line;
        installed.insert(line.substr(prefix.path().size() + 1));
    }
    EXPECT_EQ(installed,
              (std::set<std::string>{
                  "bin/corvane-companion", "bin/corvane-finder", "bin/corvane-findersync",
                  moduleDir + "/libcorvane-nautilus.so",
                  servicesDir + "/Brenvo.Corvane.FinderSync.service", "bin/corvane-plus",
                  "share/applications/Brenvo.Corvane.Plus.desktop",
                  "share/icons/hicolor/scalable/apps/Brenvo.Corvane.Plus.svg",
                  "share/metainfo/brenvo.corvane.plus.metainfo.xml",
                  servicesDir + "/Brenvo.Corvane.Plus.service",
                  "share/man/man1/corvane-findersync.1", "share/man/man1/corvane-finder.1",
                  "share/man/man1/corvane-companion.1", "share/man/man1/corvane-plus.1"}));
    // With --prefix /usr the module lands where GNOME Files reads modules.
    CommandResult extensionDir = runCommand(
        {"pkg-config", "--variable=extensiondir", "libnautilus-extension-4"}, currentEnvironment());
    EXPECT_EQ(extensionDir.out, "/usr/" + moduleDir + "\n");
    EXPECT_EQ(prefix.readFile(servicesDir + "/Brenvo.Corvane.FinderSync.service"),
              "[D-BUS Service]\nName=Brenvo.Corvane.FinderSync\nExec=" +
                  prefix / "bin/corvane-findersync\n");

    PrivateBus bus(prefix / servicesDir);
    GDBusConnection* session = useAsSessionBus(bus);
    TempDir home;
    Environment env = isolatedEnvironment(bus, home);
    setActivationEnvironment(session, env);
    CommandResult running = runCommand({prefix / "bin/corvane-companion", "running", "on"}, env);
    ASSERT_EQ(running.exitStatus, 0) << running.err;
    LoadedModule module(prefix / moduleDir + "/libcorvane-nautilus.so");
    ASSERT_NE(module.menuProvider(), nullptr);
    ASSERT_FALSE(waitForExtension(session, 0ms));

    // The first request starts the process; one made while it starts may
    // come back empty, the following ones have the menu.
    std::vector<ShownItem> items;
    waitUntil([&] {
        items = backgroundItems(module.menuProvider(), fileUri(home.path())).shown();
        return !items.empty();
    });
    EXPECT_EQ(items, (std::vector<ShownItem>{{"Corvane+ settings not found", false},
                                             {"New Text File", true}}));
}

} // namespace
} // namespace corvane::testing
