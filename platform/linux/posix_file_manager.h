#pragma once

#include "platform/file_manager.h"

namespace corvane {

class DesktopApplications;

/// File operations on the local file system through POSIX calls.
class PosixFileManager : public FileManager {
  public:
    /// Every path is looked at on disk.
    PosixFileManager() = default;
    /// Application bundle paths are answered by `applications`.
    explicit PosixFileManager(const DesktopApplications& applications)
        : applications_(&applications) {}

    /// lstat: a dangling symbolic link exists too. An application bundle path
    /// exists when `applications` (if given) can start its program, so the
    /// extension's tests for installed applications tell the truth here.
    bool fileExists(std::string_view path) override;
    /// renameat2(RENAME_NOREPLACE): EEXIST on a taken name, EXDEV across file
    /// systems; nothing is ever replaced.
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override;
    /// A temporary file beside `url`, flushed with fsync, then moved to `url`
    /// without replacing anything that appeared there meanwhile. The temporary
    /// file is removed on every failure. The new file gets mode 0666 less the umask.
    Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) override;
    /// Reads at most 64 MiB; none for a missing, oversized or malformed file or
    /// a root that is not a dictionary.
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) override;

  private:
    const DesktopApplications* applications_ = nullptr;
};

} // namespace corvane
