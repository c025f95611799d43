// What a selection change costs GNOME Files' UI thread: the module's
// get_file_items for ten files against a running extension process, beside
// the floor of one D-Bus round trip (Ping) to the same process.

#include "bench/realistic_settings.h"
#include "tests/nautilus/module_host.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

using namespace corvane;
using namespace corvane::testing;

struct World {
    bench::RealisticSettings settings{bench::OptionsIn::Both};
    PrivateBus bus;
    GDBusConnection* session = useAsSessionBus(bus);
    TempDir home;
    LoadedModule module{CORVANE_NAUTILUS_MODULE};
    GList* selection = nullptr;
    std::unique_ptr<Process> extension;

    World() {
        for (int i = 0; i < 10; ++i) {
            const std::string name = "Report " + std::to_string(i) + ".txt";
            home.writeFile(name, "");
            selection = g_list_append(selection, newFileInfo(fileUri(home / name)));
        }
        Environment env = isolatedEnvironment(bus, home);
        env["CORVANE_GROUP_CONTAINERS"] = settings.root();
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        if (!waitForExtension(session, 10s))
            throw std::runtime_error("corvane-findersync did not start serving");
    }
};

World& world() {
    static World instance;
    return instance;
}

void BM_FileItemsForTenFiles(benchmark::State& state) {
    World& w = world();
    for (auto _ : state) {
        MenuItems items(
            nautilus_menu_provider_get_file_items(w.module.menuProvider(), w.selection));
        if (items.shown().empty())
            state.SkipWithError("no items");
    }
}
BENCHMARK(BM_FileItemsForTenFiles)->Unit(benchmark::kMicrosecond);

void BM_PingFloor(benchmark::State& state) {
    World& w = world();
    for (auto _ : state) {
        GVariant* reply = g_dbus_connection_call_sync(
            w.session, finderbus::kBusName, finderbus::kObjectPath, "org.freedesktop.DBus.Peer",
            "Ping", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        if (reply == nullptr)
            state.SkipWithError("no answer to Ping");
        else
            g_variant_unref(reply);
    }
}
BENCHMARK(BM_PingFloor)->Unit(benchmark::kMicrosecond);

} // namespace
