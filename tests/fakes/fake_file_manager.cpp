#include "tests/fakes/fake_file_manager.h"

namespace corvane::fakes {

bool ExistenceOverlayFileManager::fileExists(std::string_view path) {
    checks_.emplace_back(path);
    if (auto it = answers_.find(path); it != answers_.end())
        return it->second;
    return inner_.fileExists(path);
}

Expected<void> ExistenceOverlayFileManager::moveItem(const FileURL& from, const FileURL& to) {
    return inner_.moveItem(from, to);
}

Expected<void> ExistenceOverlayFileManager::createFileAtomically(const FileURL& url,
                                                                 std::string_view contents) {
    return inner_.createFileAtomically(url, contents);
}

std::optional<PlistDictionary>
ExistenceOverlayFileManager::readPropertyListDictionary(const FileURL& url) {
    return inner_.readPropertyListDictionary(url);
}

} // namespace corvane::fakes
