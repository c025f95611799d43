// The two loads that every start-up, menu and batch-rename execution runs:
// loadSecuredURLs (eight granted folders) then loadMenuOptions (seven keys,
// from the shared settings or from the options file), on the real Linux
// services in a temporary container, against the floor of merely reading the
// bytes of the files those loads depend on.

#include "bench/realistic_settings.h"
#include "extension/finder_sync.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/host_finder_sync_controller.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/fakes/fakes.h"

#include <ostream>
#include <stdexcept>

namespace {

using namespace corvane;

/// FinderSync on the real Linux services over a realistic container. The
/// services the loads never touch (notifications, timers, the desktop) are
/// the test fakes.
class StartupFixture {
  public:
    explicit StartupFixture(bench::OptionsIn optionsIn)
        : settings_(optionsIn),
          finderSync_(FinderSyncServices{controller_, settings_.settings(), settings_.containers(),
                                         fileManager_, security_, notifications_, scheduler_,
                                         uuids_, images_, log_, workspace_, pasteboard_, alerts_}) {
        if (finderSync_.securedURLs().size() != 8 || finderSync_.menuOptions().size() != 7)
            throw std::runtime_error("the loads did not find the settings");
    }

    FinderSync& finderSync() { return finderSync_; }
    const std::vector<std::string>& files() const { return settings_.files(); }

  private:
    bench::RealisticSettings settings_;
    PosixFileManager fileManager_;
    BookmarkSecurityScope security_;
    HostFinderSyncController controller_;
    fakes::FakeNotificationCenter notifications_;
    fakes::FakeScheduler scheduler_;
    LibuuidSource uuids_;
    FreedesktopSystemImages images_;
    std::ostream log_{nullptr}; // log lines cost nothing here
    fakes::FakeWorkspace workspace_;
    fakes::FakePasteboard pasteboard_;
    fakes::FakeAlertPresenter alerts_;
    FinderSync finderSync_;
};

bench::OptionsIn optionsIn(const benchmark::State& state) {
    return state.range(0) == 0 ? bench::OptionsIn::SharedSettings : bench::OptionsIn::File;
}

void BM_LoadSecuredThenOptions(benchmark::State& state) {
    StartupFixture fixture(optionsIn(state));
    FinderSync& object = fixture.finderSync();
    for (auto _ : state) {
        object.loadSecuredURLs();
        object.loadMenuOptions();
        benchmark::DoNotOptimize(object.menuOptions());
    }
}

void BM_ReadFilesFloor(benchmark::State& state) {
    StartupFixture fixture(optionsIn(state));
    for (auto _ : state)
        bench::readBytesOf(fixture.files());
}

// Argument: 0 = options in the shared settings, 1 = options in the file.
BENCHMARK(BM_LoadSecuredThenOptions)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFilesFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
