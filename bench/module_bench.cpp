// What asking for a menu costs a file manager's UI thread, for every built
// module in one run against one extension process: each module's items call
// for a selection of 10 files and of 1,000 files (the latter also at the
// 99th percentile, beside a frame of 16 ms), the client's own GetMenu for the
// 10 files without any module, and the floor of one D-Bus round trip to the
// same process (Ping, answered on the bus library's own thread).

#include "bench/realistic_settings.h"
#include "bench/samples.h"
#include "finderbus/finder_bus_client.h"
#include "tests/filemanagers/module_host.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <stdexcept>

namespace {

using namespace corvane;
using namespace corvane::testing;

struct World {
    bench::RealisticSettings settings{bench::OptionsIn::Both};
    PrivateBus bus;
    GDBusConnection* session = useAsSessionBus(bus);
    TempDir home;
    std::unique_ptr<Process> extension;
    std::map<std::string, std::unique_ptr<ModuleHost>> hosts;

    World() {
        Environment env = isolatedEnvironment(bus, home);
        env["CORVANE_GROUP_CONTAINERS"] = settings.root();
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        if (!extension->waitForLine("[CorvaneExt] "))
            throw std::runtime_error("corvane-findersync did not start serving");
        for (const BuiltModule& module : builtModules())
            hosts[module.fileManager] = module.load(module.path);
        for (const std::string& path : selection(1000))
            std::ofstream{path};
    }

    std::vector<std::string> selection(int count) const {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i)
            paths.push_back(home / ("Report " + std::to_string(i) + ".txt"));
        return paths;
    }
};

World& world() {
    static World instance;
    return instance;
}

void BM_ModuleItems(benchmark::State& state, const std::string& fileManager) {
    ModuleHost& host = *world().hosts.at(fileManager);
    const std::vector<std::string> selection = world().selection(int(state.range(0)));
    for (auto _ : state) {
        host.openMenus(selection, "");
        if (host.items(MenuKind::Selection).empty())
            state.SkipWithError("no items");
        // As a file manager's main loop does between two menus: the module
        // may have replies to take (a probe after a timeout).
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
}

void BM_ClientGetMenuForTenFiles(benchmark::State& state) {
    finderbus::FinderBusClient client(world().session, 5000,
                                      finderbus::FinderBusClient::Activation::Never);
    const finderbus::RequestContext context{world().home.path(), world().selection(10)};
    for (auto _ : state) {
        if (!client.menu(finderbus::kMenuKindItems, context))
            state.SkipWithError("no menu");
    }
}
BENCHMARK(BM_ClientGetMenuForTenFiles)->Unit(benchmark::kMicrosecond);

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

double p99(const std::vector<double>& samples) {
    return bench::percentile(samples, 99);
}

const bool registered = [] {
    for (const BuiltModule& module : builtModules()) {
        benchmark::RegisterBenchmark(("BM_ModuleItems/" + module.fileManager).c_str(),
                                     BM_ModuleItems, module.fileManager)
            ->Arg(10)
            ->Unit(benchmark::kMicrosecond);
        // One call per sample, so the statistics are over single calls.
        benchmark::RegisterBenchmark(("BM_ModuleItems/" + module.fileManager).c_str(),
                                     BM_ModuleItems, module.fileManager)
            ->Arg(1000)
            ->Iterations(1)
            ->Repetitions(200)
            ->ComputeStatistics("p99", p99)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
