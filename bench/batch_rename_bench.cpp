// Batch renames and the execute channel's poll timer on the real Linux
// services:
// - an execute notification for 10,000 files in one folder (the two loads,
//   the renames, the result posted and stored), against the floor of the
//   same existence tests and no-replace renames in the same order;
// - one idle tick (no execute record stored), against the floor of reading
//   the settings file once, and the process's resident memory over 10,000
//   idle ticks.

#include "bench/process_usage.h"
#include "bench/realistic_finder_sync.h"
#include "bench/rename_batches.h"
#include "bench/samples.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

using namespace corvane;

constexpr int kFiles = 10'000;

/// Where the files are renamed: outside the granted folders (argument 0) or
/// inside one (1), where each move also runs inside security-scoped access.
std::string renameFolder(bench::RealisticFinderSync& world, const benchmark::State& state) {
    return state.range(0) == 0 ? world.settings().dir() + "/photos"
                               : world.settings().dir() + "/granted/Project 3/photos";
}

using bench::Clock;
using bench::millisecondsSince;

/// The floor of one batch: the engine's existence tests and no-replace
/// renames of `items`, in its order and with its names worked out beforehand.
double floorMilliseconds(const std::vector<FileURL>& items, const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> moves;
    std::int64_t number = 1;
    for (const FileURL& item : sortedForRenaming(items))
        moves.emplace_back(item.path(), folder + "/" + renameTargetName("Photo", number++, "jpg"));
    const auto start = Clock::now();
    for (const auto& [from, to] : moves) {
        struct stat st {};
        benchmark::DoNotOptimize(::lstat(to.c_str(), &st));
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
            return -1;
    }
    return millisecondsSince(start);
}

// Each iteration renames one fresh folder through the execute notification
// and another with the floor's bare calls, one right after the other, so
// that both see the same load on the machine; the time shown is the
// extension's.
void BM_ExecuteBatchRename(benchmark::State& state) {
    bench::RealisticFinderSync world(bench::OptionsIn::SharedSettings);
    const std::string folder = renameFolder(world, state);
    const PlistDictionary renamedAll{{"successCount", kFiles}, {"failures", PlistArray{}}};
    double engine = 0, floor = 0;
    for (auto _ : state) {
        const Notification request = bench::executeRequest(bench::makeFiles(folder, kFiles));
        const auto start = Clock::now();
        world.deliver(request);
        const double engineMs = millisecondsSince(start);
        const double floorMs = floorMilliseconds(bench::makeFiles(folder, kFiles), folder);
        if (world.posted().empty() || world.posted().back().userInfo != renamedAll || floorMs < 0)
            state.SkipWithError("not every file was renamed");
        state.SetIterationTime(engineMs / 1000);
        engine += engineMs;
        floor += floorMs;
    }
    state.counters["floor_ms"] = floor / static_cast<double>(state.iterations());
    state.counters["ratio"] = engine / floor;
}

BENCHMARK(BM_ExecuteBatchRename)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Rounds of 1,000 idle ticks (no execute record stored) alternate with
// rounds of 1,000 reads of the settings file's bytes; the time shown is a
// tick's.
void BM_IdleTick(benchmark::State& state) {
    bench::RealisticFinderSync world(bench::OptionsIn::SharedSettings);
    const std::vector<std::string> suiteFile{world.files().front()};
    constexpr int kRound = 1'000;
    double ticks = 0, reads = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (int i = 0; i < kRound; ++i)
            world.tick();
        const double tickMs = millisecondsSince(start);
        start = Clock::now();
        for (int i = 0; i < kRound; ++i)
            bench::readBytesOf(suiteFile);
        reads += millisecondsSince(start);
        ticks += tickMs;
        state.SetIterationTime(tickMs / 1000 / kRound);
    }
    state.counters["floor_us"] = reads * 1000 / kRound / static_cast<double>(state.iterations());
    state.counters["ratio"] = ticks / reads;
}

BENCHMARK(BM_IdleTick)->Iterations(40)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Resident memory before and after 10,000 idle ticks, after 1,000 to warm
// up: the counters show the growth, which should stay at zero.
void BM_IdleTicksResidentMemory(benchmark::State& state) {
    bench::RealisticFinderSync world(bench::OptionsIn::SharedSettings);
    for (int i = 0; i < 1'000; ++i)
        world.tick();
    const double before = bench::residentKiB();
    for (auto _ : state)
        for (int i = 0; i < 10'000; ++i)
            world.tick();
    const double after = bench::residentKiB();
    state.counters["rssBefore_KiB"] = before;
    state.counters["rssAfter_KiB"] = after;
    state.counters["rssGrowth_KiB"] = after - before;
}

BENCHMARK(BM_IdleTicksResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
