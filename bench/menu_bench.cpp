// The cost of one context menu, each beside its floor, measured in one run:
// - built in process on the real Linux services, with 8 and with 100 granted
//   folders, against reading the bytes of the two settings files it depends
//   on; and with no menu because the companion app is not running;
// - asked for over D-Bus from another process, against two floors taken from
//   the same extension process: a Ping (answered on the bus library's worker
//   thread) and a GetMenu answered with no menu (the transport, the hop to
//   the main loop and one settings read).
//
// What the floors leave out. A menu checks each granted folder once (one
// `lstat` apiece), hence the second in-process floor. It also asks the
// applications mapping whether each Visual Studio Code edition can be
// started; with the file and PATH look-ups kept, each question still costs an
// `lstat` of the bundle path, a `stat` of the configuration file (or of the
// folder that shows it missing) and a `stat` of every PATH folder, since any
// of them may gain the program: with a 12-folder PATH that is about 26 system
// calls per menu that neither the no-menu call nor a Ping makes, on top of
// the settings checks and the log lines' write. Over D-Bus the difference
// between a full menu and the no-menu call is also several times the
// in-process menu's own cost, so the larger reply's trip through the bus
// accounts for much of it.

#include "bench/realistic_finder_sync.h"
#include "finderbus/finder_bus.h"

#include <map>
#include <stdexcept>
#include <thread>

namespace {

using namespace corvane;
using corvane::testing::Environment;

enum class Running { Yes, No };

void setRunning(bench::RealisticSettings& settings, Running running) {
    auto suite = settings.settings().openSuite(contract::kAppGroupId);
    if (!suite || !suite->setObject(running == Running::Yes, contract::kAppRunningKey))
        throw std::runtime_error("cannot set the running flag");
    bench::settle();
}

/// A realistic container (options in the suite and in the options file), a
/// private bus, and the extension process serving on it.
struct World {
    bench::RealisticSettings settings{bench::OptionsIn::Both};
    corvane::testing::PrivateBus bus;
    corvane::testing::TempDir home;
    Glib::RefPtr<Gio::DBus::Connection> connection;
    std::unique_ptr<corvane::testing::Process> extension;
    Running running = Running::Yes;

    World() {
        connection = bench::connectTo(bus);
        Environment env = corvane::testing::isolatedEnvironment(bus, home);
        env["CORVANE_GROUP_CONTAINERS"] = settings.root();
        extension = std::make_unique<corvane::testing::Process>(
            std::vector<std::string>{CORVANE_FINDERSYNC}, env);
    }

    /// Stores the companion app's running flag once for all the calls that follow.
    void setCompanionRunning(Running wanted) {
        if (running == wanted)
            return;
        setRunning(settings, wanted);
        running = wanted;
    }

    Glib::VariantContainerBase askForMenu() {
        return connection->call_sync(
            finderbus::kObjectPath, finderbus::kInterface, finderbus::kGetMenu,
            Glib::VariantContainerBase(finderbus::encodeMenuRequest({0, {settings.dir(), {}}})),
            finderbus::kBusName, 5000, Gio::DBus::CallFlags::NO_AUTO_START);
    }

    Glib::VariantContainerBase ping() {
        return connection->call_sync(finderbus::kObjectPath, "org.freedesktop.DBus.Peer", "Ping",
                                     {}, finderbus::kBusName, 5000,
                                     Gio::DBus::CallFlags::NO_AUTO_START);
    }

    /// Whether the extension answers with a menu; none while it is not serving yet.
    std::optional<bool> answersWithMenu() {
        for (int attempt = 0; attempt < 200; ++attempt) {
            try {
                auto menu = finderbus::decodeMenuReply(askForMenu().gobj());
                if (!menu)
                    return std::nullopt;
                return menu->has_value();
            } catch (const Glib::Error&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        }
        return std::nullopt;
    }
};

World& world() {
    static World instance;
    return instance;
}

bench::RealisticFinderSync& inProcess(int grantedFolders, Running running = Running::Yes) {
    World& w = world(); // made first, so it outlives the objects below
    static std::map<std::pair<int, Running>, std::unique_ptr<bench::RealisticFinderSync>> made;
    auto& slot = made[{grantedFolders, running}];
    if (!slot) {
        slot = std::make_unique<bench::RealisticFinderSync>(bench::OptionsIn::Both, grantedFolders,
                                                            w.connection);
        if (running == Running::No)
            setRunning(slot->settings(), Running::No);
    }
    return *slot;
}

// Argument: the number of granted folders.
void BM_MenuInProcess(benchmark::State& state) {
    FinderSync& sync = inProcess(static_cast<int>(state.range(0))).finderSync();
    for (auto _ : state) {
        std::optional<Menu> menu = sync.menuForMenuKind(0);
        if (!menu || menu->items.empty())
            state.SkipWithError("unexpected menu");
        benchmark::DoNotOptimize(menu);
    }
}
BENCHMARK(BM_MenuInProcess)->Arg(8)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_ReadSettingsFilesFloor(benchmark::State& state) {
    const auto& files = inProcess(static_cast<int>(state.range(0))).files();
    for (auto _ : state)
        bench::readBytesOf(files);
}
BENCHMARK(BM_ReadSettingsFilesFloor)->Arg(8)->Arg(100)->Unit(benchmark::kMicrosecond);

// The bytes floor plus one `lstat` per granted folder: a menu checks each
// folder it may show once, which the bytes floor leaves out (with 100
// folders that is most of the menu's system calls).
void BM_ReadSettingsFilesAndCheckFoldersFloor(benchmark::State& state) {
    auto& settings = inProcess(static_cast<int>(state.range(0))).settings();
    for (auto _ : state) {
        bench::readBytesOf(settings.files());
        bench::checkEachOf(settings.grantedFolders());
    }
}
BENCHMARK(BM_ReadSettingsFilesAndCheckFoldersFloor)
    ->Arg(8)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);

void BM_NoMenuInProcess(benchmark::State& state) {
    FinderSync& sync = inProcess(8, Running::No).finderSync();
    for (auto _ : state) {
        std::optional<Menu> menu = sync.menuForMenuKind(0);
        if (menu)
            state.SkipWithError("a menu while the companion app is not running");
        benchmark::DoNotOptimize(menu);
    }
}
BENCHMARK(BM_NoMenuInProcess)->Unit(benchmark::kMicrosecond);

void BM_MenuOverDBus(benchmark::State& state) {
    World& w = world();
    w.setCompanionRunning(Running::Yes);
    if (w.answersWithMenu() != true) {
        state.SkipWithError("corvane-findersync serves no menu");
        return;
    }
    for (auto _ : state) {
        Glib::VariantContainerBase reply = w.askForMenu();
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_MenuOverDBus)->Unit(benchmark::kMicrosecond);

void BM_NoMenuOverDBusFloor(benchmark::State& state) {
    World& w = world();
    w.setCompanionRunning(Running::No);
    if (w.answersWithMenu() != false) {
        state.SkipWithError("corvane-findersync does not answer with no menu");
        return;
    }
    for (auto _ : state) {
        Glib::VariantContainerBase reply = w.askForMenu();
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_NoMenuOverDBusFloor)->Unit(benchmark::kMicrosecond);

void BM_PingOverDBusFloor(benchmark::State& state) {
    World& w = world();
    if (!w.answersWithMenu()) {
        state.SkipWithError("corvane-findersync did not start serving");
        return;
    }
    for (auto _ : state) {
        Glib::VariantContainerBase reply = w.ping();
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_PingOverDBusFloor)->Unit(benchmark::kMicrosecond);

} // namespace
