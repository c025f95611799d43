#include "platform/linux/file_identity_cache.h"

#include <cerrno>
#include <sys/stat.h>

namespace corvane {

bool unchanged(const std::vector<WatchedItem>& watched) {
    return std::ranges::all_of(watched, [](const WatchedItem& item) {
        auto now = posix::fileIdentity(item.path);
        return now && *now == item.identity;
    });
}

bool watchAbsence(std::string_view folder, std::string_view name,
                  std::vector<WatchedItem>& watched) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    const std::string path(folder);
    // The folder first: an entry made after this look-up changes what is kept.
    auto identity = posix::fileIdentity(path);
    if (!identity) {
        const std::errc err = identity.error().code;
        std::size_t slash = folder.rfind('/');
        if ((err != std::errc::no_such_file_or_directory && err != std::errc::not_a_directory) ||
            folder.size() < 2 || slash == std::string::npos)
            return false;
        return watchAbsence(slash == 0 ? folder.substr(0, 1) : folder.substr(0, slash),
                            folder.substr(slash + 1), watched);
    }
    const std::string entry = path + (path == "/" ? "" : "/") + std::string(name);
    struct stat st {};
    if (::lstat(entry.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR))
        return false;
    if (std::ranges::find(watched, path, &WatchedItem::path) == watched.end())
        watched.push_back({path, *identity});
    return true;
}

bool watchAbsence(std::string_view path, std::vector<WatchedItem>& watched) {
    if (!path.starts_with('/'))
        return false;
    const std::size_t slash = path.rfind('/');
    return watchAbsence(path.substr(0, std::max<std::size_t>(slash, 1)), path.substr(slash + 1),
                        watched);
}

} // namespace corvane
