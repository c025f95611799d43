#include "extension/batchrename/rename_engine.h"

#include "extension/settings/secured_directories.h"
#include "platform/file_manager.h"
#include "platform/unicode.h"

#include <algorithm>
#include <cerrno>
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
                                        const std::vector<FileURL>& securedURLs) {
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
        Candidate destination = firstFreeCandidate(item.parent(), target, 0);
        ScopedSecurityAccess access(security_, item,
                                    isInsideAnyDirectory(securedURLs, item.path()));
        if (moveToFreeName(item, target, std::move(destination)))
            ++outcome.successCount;
        else
            outcome.failures.push_back(name);
    }
    return outcome;
}

FileURL RenameEngine::uniqueDestinationURL(const FileURL& folder, std::string_view name) {
    return firstFreeCandidate(folder, name, 0).url;
}

RenameEngine::Candidate RenameEngine::firstFreeCandidate(const FileURL& folder,
                                                         std::string_view name,
                                                         std::int64_t fromVariant) {
    for (std::int64_t n = fromVariant;; ++n) {
        FileURL url = folder.appending(numberedVariant(name, n));
        if (!files_.fileExists(url.path()))
            return Candidate{std::move(url), n};
    }
}

bool RenameEngine::moveToFreeName(const FileURL& item, std::string_view name, Candidate candidate) {
    for (;;) {
        auto moved = files_.moveItem(item, candidate.url);
        if (moved)
            return true;
        // EEXIST: another process took the name after we looked. The move
        // refused to replace it; go on as if the look had found it taken.
        if (moved.error().code != EEXIST)
            return false;
        candidate = firstFreeCandidate(candidate.url.parent(), name, candidate.variant + 1);
    }
}

} // namespace corvane
