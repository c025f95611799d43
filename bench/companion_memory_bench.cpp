// The memory corvane-plus holds, read from /proc as its resident set size:
// - running in the background with no window ever opened (as at login);
// - after 10 batch-rename round trips, and after 100 more: each one a
//   request notification as the extension posts it, the "Batch Rename"
//   window, a typed base name and Return, the real corvane-findersync
//   renaming the two files, and the result notification shown through a
//   notification server played here; the difference is the growth per 100
//   round trips once the window's first use has loaded what it needs;
// - with the settings window open.
// Under Xvfb on a private bus, with GSettings in memory.

#include "bench/process_usage.h"
#include "extension/companion_contract.h"
#include "tests/desktop/desktop_session.h"
#include "tests/integration/fake_bus_service.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace corvane::testing;

using corvane::bench::askBus;
using corvane::bench::residentMegabytes;

struct Session {
    PrivateBus bus;
    TempDir dir;
    Environment env = isolatedEnvironment(bus, dir);
    FakeBusService notifications{bus.address(), "org.freedesktop.Notifications"};
    DesktopSession desktop{env};
    std::unique_ptr<Process> extension, plus;
    std::string folder = dir.makeFolder("folder").path();
    std::vector<std::string> files{folder + "/a.txt", folder + "/b.txt"};
    int trips = 0;

    Session() {
        if (!desktop.started())
            throw std::runtime_error("Xvfb did not start");
        for (const std::string& file : files)
            std::ofstream(file) << file;
        extension = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        plus =
            std::make_unique<Process>(std::vector<std::string>{CORVANE_PLUS, "--background"}, env);
        for (const char* name : {"Brenvo.Corvane.FinderSync", "Brenvo.Corvane.Plus"})
            if (!waitUntil([&] { return askBus(env, "NameHasOwner", name) == "(true,)\n"; }))
                throw std::runtime_error(std::string(name) + " did not start");
        // Settled: start-up work done, nothing drawn.
        std::this_thread::sleep_for(2s);
    }

    /// One request answered with the base name "T<n>", and its result shown.
    void roundTrip() {
        std::string paths;
        for (const std::string& file : files)
            paths += (paths.empty() ? "'" : ", '") + file + "'";
        runCommand({"gdbus", "emit", "--session", "--object-path",
                    "/Brenvo/Corvane/DistributedNotifications", "--signal",
                    "Brenvo.Corvane.DistributedNotifications.Notification",
                    "'" + std::string(corvane::contract::kBatchRenameRequestNotification) + "'",
                    "{'paths': <[" + paths + "]>}"},
                   env);
        std::string window;
        if (!waitUntil([&] {
                window =
                    desktop.xdotool({"search", "--onlyvisible", "--name", "^Batch Rename$"}).out;
                return !window.empty();
            }))
            throw std::runtime_error("no Batch Rename window");
        const std::string base = "T" + std::to_string(++trips) + "_";
        desktop.xdotool({"windowfocus", "--sync", window.substr(0, window.find('\n'))});
        desktop.xdotool({"type", base});
        desktop.xdotool({"key", "Return"});
        if (notifications.waitForCalls(trips).size() != static_cast<std::size_t>(trips))
            throw std::runtime_error("no result notification");
        files = {folder + "/" + base + "1.txt", folder + "/" + base + "2.txt"};
    }
};

void BM_CompanionResidentMemory(benchmark::State& state) {
    for (auto _ : state) {
        Session session;
        state.counters["background_MB"] = residentMegabytes(session.env, "Brenvo.Corvane.Plus");
        for (int i = 0; i < 10; ++i)
            session.roundTrip();
        const double warm = residentMegabytes(session.env, "Brenvo.Corvane.Plus");
        state.counters["after_10_round_trips_MB"] = warm;
        for (int i = 0; i < 100; ++i)
            session.roundTrip();
        const double after = residentMegabytes(session.env, "Brenvo.Corvane.Plus");
        state.counters["after_110_round_trips_MB"] = after;
        state.counters["growth_per_100_MB"] = after - warm;
        runCommand({CORVANE_PLUS}, session.env);
        std::this_thread::sleep_for(2s);
        state.counters["settings_window_MB"] =
            residentMegabytes(session.env, "Brenvo.Corvane.Plus");
    }
}
BENCHMARK(BM_CompanionResidentMemory)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
