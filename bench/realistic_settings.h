#pragma once

// A temporary App Group container holding what the companion app keeps there
// in daily use: the running flag, granted folders (eight unless asked for
// more) and the seven menu options, in the shared suite and, when asked, in
// "MenuOptions.plist"; written long enough ago to be read from the cache.

#include "extension/companion_contract.h"
#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/plist/plist_codec.h"
#include "tests/temp_dir.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace corvane::bench {

enum class OptionsIn { SharedSettings, File, Both };

/// Waits until what was just written counts as written long ago: a cache keeps
/// a file's content only once the file has settled.
inline void settle() {
    std::this_thread::sleep_for(posix::kSettleTime + std::chrono::milliseconds(50));
}

class RealisticSettings {
  public:
    explicit RealisticSettings(OptionsIn optionsIn, int grantedFolders = 8) : dir_(temp_.path()) {
        root_ = dir_ + "/containers";
        containers_.emplace(root_);
        settings_.emplace(*containers_, plistFiles_);

        PlistDictionary options{{"newTextFile", true},   {"newTerminalHere", true},
                                {"newITermHere", false}, {"copyPath", true},
                                {"batchRename", true},   {"toggleHiddenFiles", false},
                                {"openInVSCode", true}};
        PlistDictionary secured;
        for (int i = 0; i < grantedFolders; ++i) {
            std::string folder = dir_ + "/granted/Project " + std::to_string(i);
            std::filesystem::create_directories(folder);
            granted_.push_back(folder);
            secured.set("Project " + std::to_string(i),
                        PlistData{makeBookmarkData(folder).value()});
        }
        auto suite = settings_->openSuite(contract::kAppGroupId);
        if (!suite || !suite->setObject(true, contract::kAppRunningKey) ||
            !suite->setObject(secured, contract::kSecuredDirectoriesKey) ||
            (optionsIn != OptionsIn::File && !suite->setObject(options, contract::kMenuOptionsKey)))
            throw std::runtime_error("cannot write the shared settings");
        FileURL container = *containers_->containerURL(contract::kAppGroupId);
        files_.push_back(container.appending("Library/Preferences")
                             .appending(std::string(contract::kAppGroupId) + ".plist")
                             .path());
        if (optionsIn != OptionsIn::SharedSettings) {
            std::string file = container.appending(contract::kMenuOptionsFileName).path();
            std::ofstream(file, std::ios::binary) << plist::writeXml(options).value();
            files_.push_back(file);
        }
        settle();
    }
    RealisticSettings(const RealisticSettings&) = delete;
    RealisticSettings& operator=(const RealisticSettings&) = delete;

    /// The folder that holds the container root and the granted folders.
    const std::string& dir() const { return dir_; }
    /// What CORVANE_GROUP_CONTAINERS names for a process using this container.
    const std::string& root() const { return root_; }
    DirectoryAppGroupContainers& containers() { return *containers_; }
    PlistFileSettingsProvider& settings() { return *settings_; }
    /// The cache the settings are read through; hand it to a file manager too.
    const std::shared_ptr<PlistFileCache>& plistFiles() const { return plistFiles_; }
    /// The settings files: the suite, then the options file when there is one.
    const std::vector<std::string>& files() const { return files_; }
    /// The granted folders, each of which a load checks once.
    const std::vector<std::string>& grantedFolders() const { return granted_; }

  private:
    testing::TempDir temp_;
    std::string dir_;
    std::string root_;
    std::shared_ptr<PlistFileCache> plistFiles_ = std::make_shared<PlistFileCache>();
    std::optional<DirectoryAppGroupContainers> containers_;
    std::optional<PlistFileSettingsProvider> settings_;
    std::vector<std::string> files_;
    std::vector<std::string> granted_;
};

/// The floor of every load: reading the settings files' bytes and nothing more.
inline void readBytesOf(const std::vector<std::string>& files) {
    for (const std::string& path : files) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), {}};
        benchmark::DoNotOptimize(bytes);
    }
}

/// The floor of checking that each granted folder is still there: one
/// `lstat` apiece, which no load can do without.
inline void checkEachOf(const std::vector<std::string>& folders) {
    for (const std::string& path : folders) {
        struct stat st {};
        benchmark::DoNotOptimize(::lstat(path.c_str(), &st));
    }
}

} // namespace corvane::bench
