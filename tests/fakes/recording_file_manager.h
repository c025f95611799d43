#pragma once

#include "platform/linux/posix_file_manager.h"
#include "tests/fakes/call_log.h"

#include <functional>
#include <map>
#include <string>

namespace corvane::fakes {

/// The real POSIX file manager, recording each call, with two test controls.
class RecordingFileManager final : public FileManager, Recorder {
  public:
    using Recorder::Recorder;

    bool fileExists(std::string_view path) override {
        record("files.fileExists " + std::string(path));
        auto it = exists.find(path);
        return it != exists.end() ? it->second : inner_.fileExists(path);
    }
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override {
        record("files.moveItem " + from.path() + " -> " + to.path());
        if (beforeMove)
            beforeMove(from, to);
        return inner_.moveItem(from, to);
    }
    Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) override {
        record("files.createFileAtomically " + url.path());
        return inner_.createFileAtomically(url, contents);
    }
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) override {
        record("files.readPropertyListDictionary " + url.path());
        return inner_.readPropertyListDictionary(url);
    }

    /// What `fileExists` answers for a path, whatever is on disk (an
    /// application this machine lacks, a name taken after the look).
    std::map<std::string, bool, std::less<>> exists;
    /// Runs just before each move: another process acting meanwhile.
    std::function<void(const FileURL& from, const FileURL& to)> beforeMove;

  private:
    PosixFileManager inner_;
};

} // namespace corvane::fakes
