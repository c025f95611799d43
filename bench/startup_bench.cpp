// The two loads that every start-up, menu and batch-rename execution runs:
// loadSecuredURLs (eight granted folders) then loadMenuOptions (seven keys,
// from the shared settings or from the options file), on the real Linux
// services in a temporary container, against the floor of merely reading the
// bytes of the files those loads depend on.

#include "extension/companion_contract.h"
#include "extension/finder_sync.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/host_finder_sync_controller.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/plist_codec.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/fakes/fakes.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <streambuf>

namespace {

using namespace corvane;

/// Discards what is written, as a log nobody reads.
class DiscardingBuffer final : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

enum class OptionsSource { SharedSettings, File };

/// A container with the companion app's settings: eight granted folders and
/// seven menu options, in the suite or in "MenuOptions.plist". The services
/// the loads never touch (notifications, timers) are the test fakes.
class StartupFixture {
  public:
    explicit StartupFixture(OptionsSource source)
        : containers_(temp_.path() + "/containers"), settings_(containers_), log_(&discard_) {
        auto suite = settings_.openSuite(contract::kAppGroupId);
        if (!suite)
            throw std::runtime_error("cannot open the suite");
        PlistDictionary options{{"newTextFile", true},   {"newTerminalHere", true},
                                {"newITermHere", false}, {"copyPath", true},
                                {"batchRename", true},   {"toggleHiddenFiles", false},
                                {"openInVSCode", true}};
        PlistDictionary secured;
        for (int i = 0; i < 8; ++i) {
            FileURL folder = temp_.makeFolder("granted/Project " + std::to_string(i));
            secured.set(folder.lastPathComponent(),
                        PlistData{makeBookmarkData(folder.path()).value()});
        }
        if (!suite->setObject(true, contract::kAppRunningKey) ||
            !suite->setObject(secured, contract::kSecuredDirectoriesKey))
            throw std::runtime_error("cannot write the settings");
        FileURL container = *containers_.containerURL(contract::kAppGroupId);
        files_.push_back(container.appending("Library/Preferences")
                             .appending(std::string(contract::kAppGroupId) + ".plist")
                             .path());
        if (source == OptionsSource::SharedSettings) {
            if (!suite->setObject(options, contract::kMenuOptionsKey))
                throw std::runtime_error("cannot write the settings");
        } else {
            FileURL file = container.appending(contract::kMenuOptionsFileName);
            std::ofstream(file.path(), std::ios::binary) << plist::writeBinary(options).value();
            files_.push_back(file.path());
        }
        finderSync_ = std::make_unique<FinderSync>(
            FinderSyncServices{controller_, settings_, containers_, fileManager_, security_,
                               notifications_, scheduler_, uuids_, images_, log_});
        if (finderSync_->securedURLs.size() != 8 || finderSync_->menuOptions.size() != 7)
            throw std::runtime_error("the loads did not find the settings");
    }

    FinderSync& finderSync() { return *finderSync_; }
    /// The files whose bytes the loads depend on.
    const std::vector<std::string>& files() const { return files_; }

  private:
    fakes::TemporaryDirectory temp_;
    DirectoryAppGroupContainers containers_;
    PlistFileSettingsProvider settings_;
    PosixFileManager fileManager_;
    BookmarkSecurityScope security_;
    HostFinderSyncController controller_;
    fakes::FakeNotificationCenter notifications_;
    fakes::FakeScheduler scheduler_;
    LibuuidSource uuids_;
    FreedesktopSystemImages images_;
    DiscardingBuffer discard_;
    std::ostream log_;
    std::vector<std::string> files_;
    std::unique_ptr<FinderSync> finderSync_;
};

void BM_LoadSecuredThenOptions(benchmark::State& state) {
    StartupFixture fixture(static_cast<OptionsSource>(state.range(0)));
    FinderSync& object = fixture.finderSync();
    for (auto _ : state) {
        object.loadSecuredURLs();
        object.loadMenuOptions();
        benchmark::DoNotOptimize(object.menuOptions);
    }
}

void BM_ReadFilesFloor(benchmark::State& state) {
    StartupFixture fixture(static_cast<OptionsSource>(state.range(0)));
    for (auto _ : state) {
        for (const auto& path : fixture.files()) {
            std::ifstream in(path, std::ios::binary);
            std::string bytes{std::istreambuf_iterator<char>(in), {}};
            benchmark::DoNotOptimize(bytes);
        }
    }
}

// Argument: 0 = options in the shared settings, 1 = options in the file.
BENCHMARK(BM_LoadSecuredThenOptions)->Arg(0)->Arg(1);
BENCHMARK(BM_ReadFilesFloor)->Arg(0)->Arg(1);

} // namespace
