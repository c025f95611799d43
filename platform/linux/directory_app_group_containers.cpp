#include "platform/linux/directory_app_group_containers.h"

#include "platform/linux/posix_io.h"
#include "platform/linux/xdg_folders.h"

#include <cstdlib>
#include <filesystem>

namespace corvane {

DirectoryAppGroupContainers::DirectoryAppGroupContainers(std::string root) {
    std::error_code ignored;
    std::filesystem::path path(root);
    if (path.is_relative())
        path = std::filesystem::absolute(path, ignored);
    root_ = FileURL::fromPath(path.string()).path();
}

std::string DirectoryAppGroupContainers::rootFromEnvironment() {
    if (const char* explicitRoot = std::getenv("CORVANE_GROUP_CONTAINERS");
        explicitRoot && explicitRoot[0] != '\0')
        return explicitRoot;
    return FileURL::fromPath(xdg::dataHome()).appending("corvane/group-containers").path();
}

std::optional<FileURL> DirectoryAppGroupContainers::made(FileURL folder) {
    if (made_.contains(folder.path()))
        return folder;
    if (!posix::makeDirectories(folder.path(), 0700))
        return std::nullopt;
    made_.insert(folder.path());
    return folder;
}

std::optional<FileURL> DirectoryAppGroupContainers::containerURL(std::string_view groupId) {
    if (groupId.empty() || groupId == "." || groupId == ".." ||
        groupId.find('/') != std::string_view::npos || groupId.find('\0') != std::string_view::npos)
        return std::nullopt;
    return made(FileURL::fromPath(root_).appending(groupId));
}

std::optional<FileURL> DirectoryAppGroupContainers::folderInContainer(std::string_view groupId,
                                                                      std::string_view relative) {
    auto container = containerURL(groupId);
    return container ? made(container->appending(relative)) : std::nullopt;
}

void DirectoryAppGroupContainers::containerMayBeGone(std::string_view groupId) {
    const std::string container = FileURL::fromPath(root_).appending(groupId).path();
    std::erase_if(made_, [&](const std::string& folder) {
        return folder == container || folder.starts_with(container + "/");
    });
}

} // namespace corvane
