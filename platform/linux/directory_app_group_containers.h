#pragma once

#include "platform/app_group.h"

#include <set>
#include <string>

namespace corvane {

/// App Group containers as folders under one root: the container of group
/// `G` is `<root>/G`, created (with its parents, mode 0700) when first asked
/// for, and again after `containerMayBeGone`; the same for folders inside a
/// container. One thread uses it.
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
    /// (for example because the root is a regular file). A container made
    /// once is not looked at again until `containerMayBeGone`.
    std::optional<FileURL> containerURL(std::string_view groupId) override;

    /// `<container>/<relative>` in the container of `groupId`, made with the
    /// container as `containerURL` makes it; none as for `containerURL`.
    std::optional<FileURL> folderInContainer(std::string_view groupId, std::string_view relative);

    /// The next look-up of the container of `groupId`, or of a folder in it,
    /// makes the folders again if they have gone: call it when something
    /// expected inside was found missing.
    void containerMayBeGone(std::string_view groupId);

    const std::string& root() const { return root_; }

  private:
    /// `folder`, made unless it was made before.
    std::optional<FileURL> made(FileURL folder);

    std::string root_;
    std::set<std::string, std::less<>> made_; // paths of folders made
};

} // namespace corvane
