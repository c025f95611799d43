// The start-up of a FinderSync object, whose cost is that of the two loads
// every start-up, menu and batch-rename execution runs: loadSecuredURLs
// (eight granted folders) then loadMenuOptions (seven keys, from the shared
// settings or from the options file), on the real Linux services in a
// temporary container (registering for notifications and starting the poll
// timer cost next to nothing with the hand-driven ones). It stands against
// the floor of merely reading the bytes of the files those loads depend on,
// and against that floor plus the one `lstat` per granted folder that
// loadSecuredURLs cannot skip (a folder may have gone since the last load):
// with eight folders, most of the loads' system calls are those checks, which
// the bytes-only floor leaves out.

#include "bench/realistic_finder_sync.h"

namespace {

using namespace corvane;

bench::OptionsIn optionsIn(const benchmark::State& state) {
    return state.range(0) == 0 ? bench::OptionsIn::SharedSettings : bench::OptionsIn::File;
}

void BM_StartUp(benchmark::State& state) {
    bench::RealisticFinderSync fixture(optionsIn(state));
    for (auto _ : state) {
        FinderSync object(fixture.services());
        benchmark::DoNotOptimize(object.menuOptions());
    }
}

void BM_ReadFilesFloor(benchmark::State& state) {
    bench::RealisticFinderSync fixture(optionsIn(state));
    for (auto _ : state)
        bench::readBytesOf(fixture.files());
}

void BM_ReadFilesAndCheckFoldersFloor(benchmark::State& state) {
    bench::RealisticFinderSync fixture(optionsIn(state));
    for (auto _ : state) {
        bench::readBytesOf(fixture.files());
        bench::checkEachOf(fixture.settings().grantedFolders());
    }
}

// Argument: 0 = options in the shared settings, 1 = options in the file.
BENCHMARK(BM_StartUp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFilesFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFilesAndCheckFoldersFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
