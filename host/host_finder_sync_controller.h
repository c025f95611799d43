#pragma once

#include "platform/finder_sync_controller.h"

namespace corvane {

/// The controller on Linux: the host sets the targeted folder and the
/// selection from each request of the file manager before it calls the
/// extension, so the extension sees exactly what the file manager sent.
class HostFinderSyncController final : public FinderSyncController {
  public:
    std::optional<FileURL> targetedURL() const override { return targeted_; }
    std::vector<FileURL> selectedItemURLs() const override { return selected_; }
    void setDirectoryURLs(std::set<FileURL> urls) override { directories_ = std::move(urls); }
    std::set<FileURL> directoryURLs() const override { return directories_; }

    /// Sets what the next calls of the extension will see.
    void setRequestContext(std::optional<FileURL> targeted, std::vector<FileURL> selected) {
        targeted_ = std::move(targeted);
        selected_ = std::move(selected);
    }

  private:
    std::optional<FileURL> targeted_;
    std::vector<FileURL> selected_;
    std::set<FileURL> directories_;
};

} // namespace corvane
