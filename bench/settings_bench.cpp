// Opening the shared settings suite and reading the menu options from a
// realistic settings file, against the floor of merely reading its bytes.

#include "platform/linux/bookmark_security_scope.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file_settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace {

using namespace corvane;
namespace fs = std::filesystem;

constexpr std::string_view kSuite = "group.Brenvo.Corvane";

/// A container root holding one settings file shaped like the companion
/// app's: the running flag, seven menu options, eight secured directories
/// and a batch-rename result.
class SettingsFixture {
  public:
    SettingsFixture() {
        std::string templ = (fs::temp_directory_path() / "settings-bench-XXXXXX").string();
        if (!::mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        root_ = templ;
        containers_.emplace((root_ / "containers").string());
        provider_.emplace(*containers_);

        auto suite = provider_->openSuite(kSuite);
        if (!suite)
            throw std::runtime_error("cannot open the suite");
        PlistDictionary options{{"newTextFile", true},   {"newTerminalHere", true},
                                {"newITermHere", false}, {"copyPath", true},
                                {"batchRename", true},   {"toggleHiddenFiles", false},
                                {"openInVSCode", true}};
        PlistDictionary secured;
        for (int i = 0; i < 8; ++i) {
            fs::path folder = root_ / "granted" / ("Project " + std::to_string(i));
            fs::create_directories(folder);
            secured.set(folder.filename().string(),
                        PlistData{makeBookmarkData(folder.string()).value()});
        }
        PlistDictionary result{{"id", "0F6B3C2E-4A51-4D8B-9C0E-2B7A5D1E9F34"},
                               {"successCount", 3},
                               {"failures", PlistArray{PlistValue("Report.pdf")}}};
        for (auto& [key, value] : std::initializer_list<std::pair<const char*, PlistValue>>{
                 {"appIsRunning", true},
                 {"contextMenuOptions", options},
                 {"securedDirectories", secured},
                 {"batchRenameResult", result}}) {
            if (!suite->setObject(value, key))
                throw std::runtime_error("cannot write the settings file");
        }
        filePath_ = static_cast<PlistFileSettingsSuite&>(*suite).filePath();
    }
    ~SettingsFixture() { fs::remove_all(root_); }

    SettingsProvider& provider() { return *provider_; }
    const std::string& filePath() const { return filePath_; }

  private:
    fs::path root_;
    std::optional<DirectoryAppGroupContainers> containers_;
    std::optional<PlistFileSettingsProvider> provider_;
    std::string filePath_;
};

SettingsFixture& fixture() {
    static SettingsFixture instance;
    return instance;
}

void BM_OpenSuiteAndReadMenuOptions(benchmark::State& state) {
    SettingsProvider& provider = fixture().provider();
    for (auto _ : state) {
        auto suite = provider.openSuite(kSuite);
        auto options = suite->dictionaryForKey("contextMenuOptions");
        if (!options || options->size() != 7)
            state.SkipWithError("menu options missing");
        benchmark::DoNotOptimize(options);
    }
    state.counters["fileBytes"] = static_cast<double>(fs::file_size(fixture().filePath()));
}
BENCHMARK(BM_OpenSuiteAndReadMenuOptions);

void BM_ReadFileBytesOnly(benchmark::State& state) {
    const std::string& path = fixture().filePath();
    char buffer[64 * 1024];
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ssize_t total = 0;
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            total += n;
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ReadFileBytesOnly);

} // namespace
