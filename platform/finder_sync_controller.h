#pragma once

#include "platform/file_url.h"

#include <optional>
#include <set>
#include <vector>

namespace corvane {

/// The file manager's side of the extension: what the user targeted and
/// selected, and which folders the extension is consulted for.
class FinderSyncController {
  public:
    virtual ~FinderSyncController() = default;
    /// The folder the current menu or action concerns, or none.
    virtual std::optional<FileURL> targetedURL() const = 0;
    /// The selected items, in the file manager's order.
    virtual std::vector<FileURL> selectedItemURLs() const = 0;
    virtual void setDirectoryURLs(std::set<FileURL> urls) = 0;
    virtual std::set<FileURL> directoryURLs() const = 0;
};

} // namespace corvane
