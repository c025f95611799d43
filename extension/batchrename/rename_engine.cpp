#include "extension/batchrename/rename_engine.h"

#include "extension/settings/secured_directories.h"
#include "platform/file_manager.h"
#include "platform/free_name.h"
#include "platform/unicode.h"

#include <algorithm>
#include <numeric>

namespace corvane {

std::vector<FileURL> sortedForRenaming(std::span<const FileURL> items) {
    // Each key is made once: composing a path costs more than comparing it.
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const FileURL& item : items)
        keys.push_back(canonicalOrderKey(item.path()));
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::ranges::stable_sort(order,
                             [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });

    std::vector<FileURL> sorted;
    sorted.reserve(items.size());
    for (std::size_t index : order)
        sorted.push_back(items[index]);
    return sorted;
}

std::string renameTargetName(std::string_view baseName, std::int64_t number,
                             std::string_view extension) {
    std::string name(baseName);
    name += std::to_string(number);
    if (!extension.empty()) {
        name += '.';
        name += extension;
    }
    return name;
}

std::string numberedVariant(std::string_view name, std::int64_t n) {
    if (n == 0)
        return std::string(name);
    const std::size_t dot = name.rfind('.');
    const std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string_view rest = dot == std::string_view::npos ? "" : name.substr(dot);
    std::string variant(stem);
    variant += " (";
    variant += std::to_string(n);
    variant += ')';
    variant += rest;
    return variant;
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

RenameEngine::RenameEngine(FileManager& files, SecurityScope& security)
    : files_(files), security_(security) {}

BatchRenameOutcome RenameEngine::rename(std::span<const FileURL> items, std::string_view baseName,
                                        std::int64_t startNumber,
                                        const SecuredFolderRule& secured) {
    BatchRenameOutcome outcome;
    std::int64_t counter = startNumber;
    for (const FileURL& item : sortedForRenaming(items)) {
        const std::string name = item.lastPathComponent();
        const std::string target = renameTargetName(baseName, counter++, item.pathExtension());
        // The item's folder is taken from its path as text: a relative path,
        // a "." or ".." at its end, or a target holding "/" would move the
        // item out of the folder it is listed in.
        if (!item.path().starts_with('/') || !isPlainFileName(name) || !isPlainFileName(target)) {
            outcome.failures.push_back(name);
            continue;
        }
        const FileURL folder = item.parent();
        auto nameAt = [&](std::int64_t n) { return folder.appending(numberedVariant(target, n)); };
        auto exists = [this](const FileURL& url) { return files_.fileExists(url.path()); };
        const std::int64_t free = firstFreeNumber(nameAt, exists);
        ScopedSecurityAccess access(security_, item, secured.isInside(item.path()));
        // A move never replaces: a name another process takes after the look
        // above sends the item on to the next free variant.
        auto move = [&](const FileURL& to) { return files_.moveItem(item, to); };
        if (takeFreeName(nameAt, exists, move, free))
            ++outcome.successCount;
        else
            outcome.failures.push_back(name);
    }
    return outcome;
}

FileURL RenameEngine::uniqueDestinationURL(const FileURL& folder, std::string_view name) {
    auto nameAt = [&](std::int64_t n) { return folder.appending(numberedVariant(name, n)); };
    return nameAt(firstFreeNumber(
        nameAt, [this](const FileURL& url) { return files_.fileExists(url.path()); }));
}

} // namespace corvane
