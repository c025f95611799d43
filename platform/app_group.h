#pragma once

#include "platform/file_url.h"

#include <optional>
#include <string_view>

namespace corvane {

/// Locates the shared container of an App Group.
class AppGroupContainers {
  public:
    virtual ~AppGroupContainers() = default;
    /// The container's folder for `groupId`, created on demand; none when it
    /// is not available.
    virtual std::optional<FileURL> containerURL(std::string_view groupId) = 0;
};

} // namespace corvane
