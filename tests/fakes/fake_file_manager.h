#pragma once

#include "platform/file_manager.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::fakes {

/// Answers existence tests for chosen paths (applications that are not on
/// this machine, say) and forwards everything else to another file manager.
class ExistenceOverlayFileManager final : public FileManager {
  public:
    explicit ExistenceOverlayFileManager(FileManager& inner) : inner_(inner) {}

    bool fileExists(std::string_view path) override;
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override;
    Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) override;
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) override;

    /// From now on `fileExists(path)` answers `exists` without asking the inner manager.
    void setExists(std::string path, bool exists) { answers_[std::move(path)] = exists; }
    /// Every path passed to `fileExists`, in order, overlaid or not.
    const std::vector<std::string>& existenceChecks() const { return checks_; }

  private:
    FileManager& inner_;
    std::map<std::string, bool, std::less<>> answers_;
    std::vector<std::string> checks_;
};

} // namespace corvane::fakes
