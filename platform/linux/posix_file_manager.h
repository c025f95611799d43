#pragma once

#include "platform/file_manager.h"

#include <memory>

namespace corvane {

class DesktopApplications;
class PlistFileCache;

/// File operations on the local file system through POSIX calls.
class PosixFileManager : public FileManager {
  public:
    /// Reads property lists through a cache of its own; every path is looked
    /// at on disk.
    PosixFileManager();
    /// Reads property lists through `plistFiles`, which other readers may
    /// share. Application bundle paths are answered by `applications` when
    /// given, so the extension's tests for installed applications tell the
    /// truth here.
    explicit PosixFileManager(std::shared_ptr<PlistFileCache> plistFiles,
                              const DesktopApplications* applications = nullptr);

    /// lstat: a dangling symbolic link exists too; an application bundle path
    /// exists when `applications` can start its program.
    bool fileExists(std::string_view path) override;
    /// renameat2(RENAME_NOREPLACE): EEXIST on a taken name, EXDEV across file
    /// systems; nothing is ever replaced.
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override;
    /// A temporary file beside `url`, flushed with fsync, then moved to `url`
    /// without replacing anything that appeared there meanwhile. The temporary
    /// file is removed on every failure. The new file gets mode 0666 less the umask.
    Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) override;
    /// Reads at most 64 MiB, and only when the file changed since the last
    /// read; none for a missing, oversized or malformed file or a root that
    /// is not a dictionary.
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) override;

  private:
    std::shared_ptr<PlistFileCache> plistFiles_;
    const DesktopApplications* applications_ = nullptr;
};

} // namespace corvane
