#pragma once

#include "platform/finder_sync_controller.h"
#include "tests/fakes/call_log.h"

#include <string>

namespace corvane::fakes {

/// A controller whose target and selection the test sets (none at first),
/// and that keeps and records its directories.
class FakeFinderSyncController final : public FinderSyncController, Recorder {
  public:
    using Recorder::Recorder;

    std::optional<FileURL> targetedURL() const override { return targeted; }
    std::vector<FileURL> selectedItemURLs() const override { return selected; }
    void setDirectoryURLs(std::set<FileURL> urls) override {
        for (const FileURL& url : urls)
            record("controller.setDirectoryURLs " + url.path());
        directories = std::move(urls);
    }
    std::set<FileURL> directoryURLs() const override { return directories; }

    std::optional<FileURL> targeted;
    std::vector<FileURL> selected;
    std::set<FileURL> directories;
};

} // namespace corvane::fakes
