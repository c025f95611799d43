#pragma once

#include "platform/app_group.h"

#include <string>

namespace corvane {

/// App Group containers as folders under one root: the container of group
/// `G` is `<root>/G`, created (with its parents, mode 0700) when first asked for.
class DirectoryAppGroupContainers : public AppGroupContainers {
  public:
    /// `root` holds the containers; a relative root is taken from the current folder.
    explicit DirectoryAppGroupContainers(std::string root);

    /// The root named by the environment: CORVANE_GROUP_CONTAINERS when set and
    /// non-empty, else "$XDG_DATA_HOME/corvane/group-containers" (an absolute
    /// XDG_DATA_HOME only), else "$HOME/.local/share/corvane/group-containers".
    static std::string rootFromEnvironment();

    /// `<root>/<groupId>`, created on demand. None when the group id is empty,
    /// "." or "..", holds "/" or a NUL byte, or when the folder cannot be made
    /// (for example because the root is a regular file).
    std::optional<FileURL> containerURL(std::string_view groupId) override;

    const std::string& root() const { return root_; }

  private:
    std::string root_;
};

} // namespace corvane
