// corvane-findersync under hostile load, each figure against the real process
// on a private bus, asked as a file manager asks (the shared client, with a
// timeout long enough that a slow answer is timed rather than lost):
// - GetMenu latency (p50, p99) while 10,000 valid execute notifications
//   arrive from another client, and the process's resident memory before
//   and after;
// - GetMenu, and a batch-rename request (a settings write) until the next
//   menu is answered, with the suite's lock free and held by another process;
// - GetMenu over "contextMenuOptions" of 7 and of 100,000 keys;
// - one execute of 10,000 renames in a folder "ünï" with 1,000 granted
//   folders, until the result record is written;
// - resident memory while a 55 MB suite is current, and once a small one
//   has replaced it and been read; the idle process's processor time with
//   each.

#include "bench/process_usage.h"
#include "bench/realistic_finder_sync.h"
#include "bench/rename_batches.h"
#include "bench/samples.h"
#include "finderbus/finder_bus_client.h"
#include "platform/linux/dbus_notification_center.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

namespace {

using namespace corvane;
using namespace corvane::testing;
using bench::Clock;
using bench::millisecondsSince;

/// Far beyond what a file manager waits, so that a slow menu is measured.
constexpr int kClientTimeoutMs = 60'000;

/// corvane-findersync serving a realistic container on a private bus, and a
/// file manager's client of it.
struct Extension {
    explicit Extension(int grantedFolders = 8)
        : settings(bench::OptionsIn::SharedSettings, grantedFolders) {
        env["CORVANE_GROUP_CONTAINERS"] = settings.root();
        process = std::make_unique<Process>(std::vector<std::string>{CORVANE_FINDERSYNC}, env);
        if (!process->waitForLine("[CorvaneExt] ", 60s))
            throw std::runtime_error("corvane-findersync did not start serving: " +
                                     process->output(Stream::Stderr));
        for (const std::string& file : selection)
            std::ofstream{file};
    }

    /// The menu of the two selected files; throws when none comes.
    finderbus::Menu menu() {
        auto menu = client.menu(finderbus::kMenuKindItems, {home.path(), selection});
        if (!menu || !*menu)
            throw std::runtime_error("no menu: " + (menu ? "none shown" : menu.error()));
        return **menu;
    }
    double timeMenu() {
        const auto start = Clock::now();
        menu();
        return millisecondsSince(start);
    }
    /// The action of the menu entry titled `title`.
    std::string action(std::string_view title) {
        for (const finderbus::MenuEntry& entry : menu().entries)
            if (entry.title == title)
                return entry.action;
        throw std::runtime_error("no menu entry " + std::string(title));
    }
    std::unique_ptr<SettingsSuite> suite() {
        auto suite = settings.settings().openSuite(contract::kAppGroupId);
        if (!suite)
            throw std::runtime_error("cannot open the shared settings");
        return suite;
    }
    std::string suiteFile() {
        return settings.settings().suiteFilePath(contract::kAppGroupId).value();
    }
    double residentMegabytes() const { return bench::residentMegabytes(env, finderbus::kBusName); }
    /// The share of one processor the extension uses over the next `span`
    /// while asked for nothing (its poll timer runs), in per cent.
    double idleProcessorPercent(std::chrono::milliseconds span) const {
        const std::string pid = bench::ownerOf(env, finderbus::kBusName);
        const double before = bench::processorSeconds(pid);
        std::this_thread::sleep_for(span);
        return (bench::processorSeconds(pid) - before) * 100 /
               std::chrono::duration<double>(span).count();
    }
    /// How many lines of its standard output hold `text`.
    long linesWith(std::string_view text) const {
        return std::ranges::count_if(process->lines(),
                                     [&](const std::string& line) { return line.contains(text); });
    }

    bench::RealisticSettings settings;
    PrivateBus bus;
    TempDir home;
    Environment env = isolatedEnvironment(bus, home);
    std::vector<std::string> selection{home / "Report 1.txt", home / "Report 2.txt"};
    std::unique_ptr<Process> process;
    Glib::RefPtr<Gio::DBus::Connection> connection = bench::connectTo(bus);
    finderbus::FinderBusClient client{connection->gobj(), kClientTimeoutMs,
                                      finderbus::FinderBusClient::Activation::Never};
};

/// Runs `body`, turning a failure into the benchmark's error.
template <typename Body> void guarded(benchmark::State& state, Body&& body) {
    try {
        body();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

/// Runs what the main loop has ready on this thread (replies, signals).
void runReadyEvents() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// ---------------------------------------------------------------- execute flood

// Another client sends 10,000 execute notifications naming a file that is
// not there (each one valid: a base name and one path) while menus are asked
// for one after the other; sampling ends once everything is sent and no
// result has come for a second. The time shown is until the last result.
void BM_MenuDuringExecuteFlood(benchmark::State& state) {
    guarded(state, [&] {
        Extension ext;
        for (int i = 0; i < 20; ++i)
            ext.timeMenu();
        const double before = ext.residentMegabytes();
        DBusNotificationCenter results(ext.connection, std::cerr);
        long handled = 0;
        results.addObserver(std::string(contract::kBatchRenameResultNotification),
                            [&](const Notification&) { ++handled; });
        auto senderConnection = bench::connectTo(ext.bus);
        DBusNotificationCenter sender(senderConnection, std::cerr);
        const PlistDictionary request{{"baseName", "x"},
                                      {"paths", PlistArray{ext.home / "missing"}}};
        std::vector<double> menus;
        for (auto _ : state) {
            std::atomic<bool> sent = false;
            const auto start = Clock::now();
            std::thread flood([&] {
                for (int i = 0; i < 10'000; ++i)
                    sender.post(contract::kBatchRenameExecuteNotification, request);
                senderConnection->flush_sync();
                sent = true;
            });
            long seen = handled;
            auto lastResult = Clock::now();
            while (!sent || millisecondsSince(lastResult) < 1000) {
                menus.push_back(ext.timeMenu());
                runReadyEvents();
                if (handled != seen) {
                    seen = handled;
                    lastResult = Clock::now();
                }
            }
            flood.join();
            state.SetIterationTime(std::chrono::duration<double>(lastResult - start).count());
        }
        state.counters["menu_p50_ms"] = bench::percentile(menus, 50);
        state.counters["menu_p99_ms"] = bench::percentile(menus, 99);
        state.counters["menu_max_ms"] = bench::percentile(menus, 100);
        state.counters["menus"] = static_cast<double>(menus.size());
        state.counters["executes_handled"] = static_cast<double>(handled);
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = ext.residentMegabytes();
    });
}
BENCHMARK(BM_MenuDuringExecuteFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- lock held

enum class Lock { Free, HeldByAnotherProcess };

/// One extension for both lock benchmarks, and the other process that holds
/// the suite's lock when asked to.
struct LockWorld {
    Extension ext;
    std::unique_ptr<Process> holder;

    void set(Lock lock) {
        const std::string lockFile = ext.suiteFile() + ".lock";
        if (lock == Lock::Free) {
            holder.reset(); // its process group is killed, and the lock with it
            return;
        }
        if (holder)
            return;
        holder = std::make_unique<Process>(
            std::vector<std::string>{"flock", "--exclusive", "--close", lockFile, "sleep", "600"},
            ext.env);
        if (!waitUntil([&] {
                return runCommand({"flock", "--nonblock", lockFile, "true"}, ext.env).exitStatus !=
                       0;
            }))
            throw std::runtime_error("the lock was not taken");
    }
};

LockWorld& lockWorld() {
    static LockWorld world;
    return world;
}

// Argument: 0 with the lock free, 1 with the lock held by another process.
void BM_MenuWithSuiteLock(benchmark::State& state) {
    guarded(state, [&] {
        LockWorld& world = lockWorld();
        world.set(static_cast<Lock>(state.range(0)));
        world.ext.timeMenu();
        for (auto _ : state)
            state.SetIterationTime(world.ext.timeMenu() / 1000);
    });
}
BENCHMARK(BM_MenuWithSuiteLock)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// "Batch Rename" chosen for two files (its request record is a settings
// write), timed until the extension has answered the next menu; the
// PerformAction reply alone is a counter. With the lock held, every store
// must have failed, and the counter of failed stores shows it.
void BM_BatchRenameRequestWithSuiteLock(benchmark::State& state) {
    guarded(state, [&] {
        LockWorld& world = lockWorld();
        const Lock lock = static_cast<Lock>(state.range(0));
        world.set(lock);
        const std::string batchRename = world.ext.action("Batch Rename");
        const char failedStore[] = "Failed to store batch rename request: ";
        const long failedBefore = world.ext.linesWith(failedStore);
        double performed = 0;
        for (auto _ : state) {
            const auto start = Clock::now();
            if (auto done = world.ext.client.perform(batchRename,
                                                     {world.ext.home.path(), world.ext.selection});
                !done)
                throw std::runtime_error("PerformAction failed: " + done.error());
            performed += millisecondsSince(start);
            world.ext.menu();
            state.SetIterationTime(millisecondsSince(start) / 1000);
        }
        // Its log line may trail the reply by a moment.
        waitUntil([&] {
            return lock == Lock::Free ||
                   world.ext.linesWith(failedStore) - failedBefore >= state.iterations();
        });
        const long failed = world.ext.linesWith(failedStore) - failedBefore;
        if ((lock == Lock::Free) != (failed == 0))
            throw std::runtime_error("the stores did not fail as the lock says");
        state.counters["perform_ms"] = performed / static_cast<double>(state.iterations());
        state.counters["stores_failed"] = static_cast<double>(failed);
    });
}
BENCHMARK(BM_BatchRenameRequestWithSuiteLock)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- many option keys

// Argument: the number of keys under "contextMenuOptions"; the seven real
// ones are spread among the others. Each menu reads them all again. The
// first menu after the suite was written also reads and parses the file.
void BM_MenuWithOptionKeys(benchmark::State& state) {
    guarded(state, [&] {
        Extension ext;
        const auto keys = static_cast<std::size_t>(state.range(0));
        const PlistDictionary real =
            ext.suite()->objectForKey(contract::kMenuOptionsKey).value().asDictionary();
        PlistDictionary options;
        std::size_t nextReal = 0;
        for (std::size_t i = 0; options.size() < keys; ++i) {
            if (nextReal < real.size() && i == nextReal * keys / real.size()) {
                const auto& [key, value] = real.entries()[nextReal++];
                options.appendNew(key, value);
            } else {
                options.appendNew("unusedOption" + std::to_string(i), i % 2 == 0);
            }
        }
        if (!ext.suite()->setObject(options, contract::kMenuOptionsKey))
            throw std::runtime_error("cannot store the options");
        bench::settle();
        state.counters["first_menu_ms"] = ext.timeMenu();
        ext.action("Batch Rename"); // read from the stored options, not the defaults
        for (auto _ : state)
            state.SetIterationTime(ext.timeMenu() / 1000);
        state.counters["suite_MB"] =
            static_cast<double>(std::filesystem::file_size(ext.suiteFile())) / 1e6;
    });
}
BENCHMARK(BM_MenuWithOptionKeys)
    ->Arg(7)
    ->Arg(100'000)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- renames

/// What identifies the file at `path` now: a write replaces it by rename.
std::pair<ino_t, std::int64_t> identityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {0, 0};
    return {st.st_ino, st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec};
}

// One execute notification for 10,000 files in the folder "ünï", with 1,000
// granted folders, timed until the result record is written. Argument 0:
// the folder lies beside the granted folders, so each move is checked
// against all of them without a match; 1: it lies inside one; 2: as 0, in a
// folder named "uni", the same test over plain ASCII names.
void BM_ExecuteTenThousandRenames(benchmark::State& state) {
    guarded(state, [&] {
        Extension ext(1000);
        const std::string granted = ext.settings.dir() + "/granted/";
        const std::string folder =
            std::array{granted + "ünï", granted + "Project 999/ünï", granted + "uni"}.at(
                static_cast<std::size_t>(state.range(0)));
        DBusNotificationCenter center(ext.connection, std::cerr);
        const std::string suiteFile = ext.suiteFile();
        for (auto _ : state) {
            const Notification request = bench::executeRequest(bench::makeFiles(folder, 10'000));
            const auto before = identityOf(suiteFile);
            const auto start = Clock::now();
            center.post(request.name, request.userInfo);
            ext.connection->flush_sync();
            if (!waitUntil([&] { return identityOf(suiteFile) != before; }, 120s, 1ms))
                throw std::runtime_error("no result record");
            state.SetIterationTime(millisecondsSince(start) / 1000);
            auto result = ext.suite()->objectForKey(contract::kBatchRenameResultKey);
            const PlistValue* count = result && result->isDictionary()
                                          ? result->asDictionary().find("successCount")
                                          : nullptr;
            if (!count || *count != PlistValue(10'000))
                throw std::runtime_error("not every file was renamed");
        }
    });
}
BENCHMARK(BM_ExecuteTenThousandRenames)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- large suite

// The suite grows to 55 MB (a key no part of the extension reads, holding
// many strings), is read once by a menu, then is replaced by a small one
// (the key removed), which the next menu reads. The processor time the idle
// process uses (its poll timer reads the suite) is taken with the small and
// with the large suite current.
void BM_ResidentMemoryAfterLargeSuite(benchmark::State& state) {
    guarded(state, [&] {
        Extension ext;
        const std::string file = ext.suiteFile();
        for (auto _ : state) {
            ext.timeMenu();
            state.counters["rss_small_suite_MB"] = ext.residentMegabytes();
            state.counters["idle_cpu_small_suite_pct"] = ext.idleProcessorPercent(3s);
            {
                PlistArray archive;
                archive.reserve(500'000);
                for (int i = 0; i < 500'000; ++i)
                    archive.emplace_back(std::to_string(i) + std::string(100, 'r'));
                if (!ext.suite()->setObject(archive, "archivedRenames"))
                    throw std::runtime_error("cannot store the large suite");
            }
            state.counters["large_suite_MB"] =
                static_cast<double>(std::filesystem::file_size(file)) / 1e6;
            bench::settle();
            state.counters["large_menu_ms"] = ext.timeMenu();
            state.counters["rss_large_suite_MB"] = ext.residentMegabytes();
            state.counters["idle_cpu_large_suite_pct"] = ext.idleProcessorPercent(3s);
            if (!ext.suite()->removeObject("archivedRenames"))
                throw std::runtime_error("cannot replace the large suite");
            bench::settle();
            ext.timeMenu();
            state.counters["rss_after_replaced_MB"] = ext.residentMegabytes();
        }
    });
}
BENCHMARK(BM_ResidentMemoryAfterLargeSuite)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
