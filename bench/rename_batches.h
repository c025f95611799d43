#pragma once

// Folders of files to rename, and the execute notification that asks for it
// as the companion app sends it.

#include "extension/companion_contract.h"
#include "platform/file_url.h"
#include "platform/notification_center.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace corvane::bench {

/// A fresh folder of `count` empty files "IMG_<n>.jpg", listed in the
/// folder's own order, as the companion app sends them.
inline std::vector<FileURL> makeFiles(const std::string& folder, int count) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "/IMG_" + std::to_string(i) + ".jpg";
        ::close(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    }
    std::vector<FileURL> items;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        items.push_back(FileURL::fromPath(entry.path().native()));
    return items;
}

/// The execute notification that asks to rename `items` to "Photo<n>".
inline Notification executeRequest(const std::vector<FileURL>& items) {
    PlistArray paths;
    for (const FileURL& item : items)
        paths.push_back(item.path());
    return {std::string(contract::kBatchRenameExecuteNotification),
            {{"baseName", "Photo"}, {"paths", std::move(paths)}}};
}

} // namespace corvane::bench
