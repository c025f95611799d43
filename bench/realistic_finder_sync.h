#pragma once

// FinderSync on the real Linux services over a realistic container (see
// realistic_settings.h). The services that neither the loads nor the batch
// renames touch (notifications, timers, the desktop) are the test fakes.

#include "bench/realistic_settings.h"
#include "extension/finder_sync.h"
#include "platform/linux/freedesktop_system_images.h"
#include "platform/linux/host_finder_sync_controller.h"
#include "platform/linux/libuuid_source.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/fakes/fakes.h"

#include <ostream>
#include <stdexcept>

namespace corvane::bench {

class RealisticFinderSync {
  public:
    explicit RealisticFinderSync(OptionsIn optionsIn)
        : settings_(optionsIn), fileManager_(settings_.plistFiles()),
          finderSync_(FinderSyncServices{controller_, settings_.settings(), settings_.containers(),
                                         fileManager_, security_, notifications_, scheduler_,
                                         uuids_, images_, log_, workspace_, pasteboard_, alerts_}) {
        if (finderSync_.securedURLs().size() != 8 || finderSync_.menuOptions().size() != 7)
            throw std::runtime_error("the loads did not find the settings");
    }

    FinderSync& finderSync() { return finderSync_; }
    RealisticSettings& settings() { return settings_; }
    const std::vector<std::string>& files() const { return settings_.files(); }

  private:
    RealisticSettings settings_;
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

} // namespace corvane::bench
