// Opening the shared settings suite and reading the menu options from a
// realistic settings file, against the floor of merely reading its bytes.

#include "bench/realistic_settings.h"

namespace {

using namespace corvane;

bench::RealisticSettings& world() {
    static bench::RealisticSettings instance(bench::OptionsIn::SharedSettings);
    return instance;
}

void BM_OpenSuiteAndReadMenuOptions(benchmark::State& state) {
    SettingsProvider& provider = world().settings();
    for (auto _ : state) {
        auto suite = provider.openSuite(contract::kAppGroupId);
        auto options = suite->dictionaryForKey(contract::kMenuOptionsKey);
        if (!options || options->size() != 7)
            state.SkipWithError("menu options missing");
        benchmark::DoNotOptimize(options);
    }
    state.counters["fileBytes"] =
        static_cast<double>(std::filesystem::file_size(world().files().front()));
}
BENCHMARK(BM_OpenSuiteAndReadMenuOptions)->Unit(benchmark::kMicrosecond);

void BM_ReadFileBytesFloor(benchmark::State& state) {
    for (auto _ : state)
        bench::readBytesOf(world().files());
}
BENCHMARK(BM_ReadFileBytesFloor)->Unit(benchmark::kMicrosecond);

} // namespace
