#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"
#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::readBytes;
using testing::writeBytes;

constexpr std::string_view kSuite = "group.Test.Settings";

/// Runs `body` in a child process, which exits with 0 when it returns true.
template <typename Body> pid_t inChild(Body body) {
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body() ? 0 : 1);
    return pid;
}

/// Suites are opened through fresh providers, as separate processes would open them.
class SettingsFileTest : public testing::TempFolderTest {
  protected:
    std::unique_ptr<SettingsSuite> open() {
        DirectoryAppGroupContainers containers((dir_ / "containers").string());
        return PlistFileSettingsProvider(containers, std::make_shared<PlistFileCache>())
            .openSuite(kSuite);
    }
    fs::path preferences() const {
        return dir_ / "containers" / kSuite / "Library" / "Preferences";
    }
    fs::path suiteFile() const { return preferences() / (std::string(kSuite) + ".plist"); }
    std::vector<std::string> entriesContaining(std::string_view part) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(preferences()))
            if (entry.path().filename().string().find(part) != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
    PlistDictionary fileContents() const {
        auto value = plist::read(readBytes(suiteFile()));
        EXPECT_TRUE(value && value->isDictionary());
        return value && value->isDictionary() ? value->asDictionary() : PlistDictionary{};
    }
};

// What every settings suite promises (snapshots, merged writes) is checked
// by the typed suite in tests/contract; these cases are the file's own.
TEST_F(SettingsFileTest, ReadsAnXmlFileAndWritesItBackBinaryWithItsKeys) {
    ASSERT_TRUE(open());
    // Another writer's file, with an integer above the signed 64-bit range.
    writeBytes(suiteFile(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                            "<dict><key>appIsRunning</key><true/>"
                            "<key>big</key><integer>18446744073709551615</integer></dict></plist>");
    auto suite = open();
    ASSERT_TRUE(suite);
    EXPECT_TRUE(suite->boolForKey("appIsRunning"));
    ASSERT_TRUE(suite->setObject(2, "mine"));
    EXPECT_EQ(readBytes(suiteFile()).substr(0, 8), "bplist00");
    EXPECT_EQ(fileContents(),
              (PlistDictionary{{"appIsRunning", true}, {"big", UINT64_MAX}, {"mine", 2}}));
}

TEST_F(SettingsFileTest, TwoProcessesWritingAtOnceLoseNoKey) {
    ASSERT_TRUE(open());
    constexpr int kKeys = 30;
    pid_t writers[2];
    for (int writer = 0; writer < 2; ++writer) {
        writers[writer] = inChild([&] {
            auto suite = open();
            for (int i = 0; suite && i < kKeys; ++i)
                if (!suite->setObject(i, std::to_string(writer) + "-" + std::to_string(i)))
                    return false;
            return suite != nullptr;
        });
    }
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(fileContents().size(), 2u * kKeys) << "each writer's keys, all distinct";
}

TEST_F(SettingsFileTest, ReadersAndAKilledWriterOnlyEverSeeWholeFiles) {
    // Every payload is one letter repeated: a torn or mixed file shows.
    constexpr std::size_t kSize = 256 * 1024;
    auto whole = [&] {
        auto value = plist::read(readBytes(suiteFile()));
        const PlistValue* payload =
            value && value->isDictionary() ? value->asDictionary().find("payload") : nullptr;
        if (!payload || !payload->isData())
            return false;
        const std::string& bytes = payload->asData().bytes;
        return bytes.size() == kSize && std::ranges::count(bytes, bytes[0]) == kSize;
    };
    ASSERT_TRUE(open()->setObject(PlistData{std::string(kSize, 'A')}, "payload"));
    for (int delayMs : {0, 5, 20, 60}) {
        pid_t pid = inChild([&] {
            auto suite = open();
            for (char letter = 'A';; letter = letter == 'Z' ? 'A' : letter + 1)
                (void)suite->setObject(PlistData{std::string(kSize, letter)}, "payload");
            return true;
        });
        auto killAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        bool seenWhole = true;
        while (seenWhole && std::chrono::steady_clock::now() < killAt)
            seenWhole = whole();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        EXPECT_TRUE(seenWhole) << "while writing, before the kill at " << delayMs << " ms";
        EXPECT_TRUE(whole()) << "after the kill at " << delayMs << " ms";
    }

    // A killed writer may leave its temporary file; the next writer, holding
    // the lock, knows no one else can be writing and clears it.
    writeBytes(preferences() /
                   (posix::atomicWriteTempPrefix(suiteFile().filename().string()) + "abandoned"),
               "x");
    ASSERT_TRUE(open()->setObject(true, "appIsRunning"));
    EXPECT_TRUE(entriesContaining(".tmp-").empty());
}

TEST_F(SettingsFileTest, FailedWriteReportsReadableTextAndKeepsTheFile) {
    auto suite = open();
    ASSERT_TRUE(suite->setObject(1, "kept"));
    std::string before = readBytes(suiteFile());

    auto badKey = suite->setObject(true, "\xff\xfe");
    ASSERT_FALSE(badKey);
    EXPECT_FALSE(badKey.error().description.empty());
    EXPECT_EQ(readBytes(suiteFile()), before);

    fs::remove(suiteFile());
    fs::create_directory(suiteFile());
    auto blocked = suite->setObject(true, "appIsRunning");
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.error().description.find("Is a directory"), std::string::npos)
        << blocked.error().description;
    bool called = false;
    EXPECT_FALSE(suite->modifyObject("kept", [&](std::optional<PlistValue>&) { called = true; }));
    EXPECT_FALSE(called) << "a store that cannot be read is not offered for a change";
}

TEST_F(SettingsFileTest, ModifyThatChangesNothingLeavesTheFileAlone) {
    auto suite = open();
    ASSERT_TRUE(suite->setObject(1, "kept"));
    struct stat before {};
    ASSERT_EQ(::stat(suiteFile().c_str(), &before), 0);
    ASSERT_TRUE(suite->modifyObject("kept", [](std::optional<PlistValue>& value) { value = 1; }));
    ASSERT_TRUE(suite->removeObjectIfEqual("kept", 2));
    struct stat after {};
    ASSERT_EQ(::stat(suiteFile().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";

    // Nor is an unreadable file set aside when nothing is to be written.
    writeBytes(suiteFile(), "not a property list");
    ASSERT_TRUE(open()->modifyObject("kept", [](std::optional<PlistValue>&) {}));
    EXPECT_TRUE(entriesContaining(".unreadable-").empty());
    EXPECT_EQ(readBytes(suiteFile()), "not a property list");
}

// Each file holds no settings dictionary; they are written one after another,
// most likely within one second, and each must be kept under its own name.
TEST_F(SettingsFileTest, UnreadableFilesReadAsEmptyAndEachIsKeptBeside) {
    ASSERT_TRUE(open());
    // The codec's own tests cover the ways a file can be malformed.
    const std::string unreadable[] = {"\x93garbage\xff", "",
                                      plist::writeBinary(PlistArray{1}).value()};
    for (int i = 0; i < 3; ++i) {
        writeBytes(suiteFile(), unreadable[i]);
        auto suite = open();
        ASSERT_TRUE(suite);
        EXPECT_FALSE(suite->objectForKey("written")) << i;
        EXPECT_FALSE(suite->synchronize()) << i;
        ASSERT_TRUE(suite->setObject(i, "written"));
        EXPECT_EQ(fileContents(), (PlistDictionary{{"written", i}})) << i;
    }
    std::vector<std::string> contents;
    for (const auto& name : entriesContaining(".unreadable-")) {
        EXPECT_TRUE(name.starts_with(std::string(kSuite) + ".plist.unreadable-")) << name;
        contents.push_back(readBytes(preferences() / name));
    }
    EXPECT_TRUE(std::ranges::is_permutation(contents, unreadable));
}

// --- Reading through a cache ----------------------------------------------------

/// A reader that keeps one cache across reads, as the extension process does,
/// beside writers that share nothing with it, as the companion app.
class CachedSettingsTest : public SettingsFileTest {
  protected:
    std::shared_ptr<PlistFileCache> cache_ = std::make_shared<PlistFileCache>();
    DirectoryAppGroupContainers containers_{(dir_ / "containers").string()};
    PlistFileSettingsProvider reader_{containers_, cache_};
    PosixFileManager readerFiles_{cache_};

    std::string optionsFile() const {
        return (dir_ / "containers" / kSuite / "Options.plist").string();
    }
    std::optional<PlistDictionary> readOptions() {
        return readerFiles_.readPropertyListDictionary(FileURL::fromPath(optionsFile()));
    }
    /// Rewrites the options file in place, keeping its inode, size and
    /// modification time: only its change time tells the new content apart.
    void rewriteOptions(const PlistDictionary& options) {
        struct stat before {};
        ASSERT_EQ(::stat(optionsFile().c_str(), &before), 0);
        writeBytes(optionsFile(), plist::writeBinary(options).value());
        ASSERT_EQ(static_cast<off_t>(fs::file_size(optionsFile())), before.st_size);
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, optionsFile().c_str(), times, 0), 0);
    }
};

TEST_F(CachedSettingsTest, KeptValuesGiveWayWhenAnotherWriterReplacesTheFiles) {
    ASSERT_TRUE(open()->setObject(true, "appIsRunning"));
    writeBytes(optionsFile(), plist::writeBinary(PlistDictionary{{"copyPath", true}}).value());
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", true}}));
    // Within one tick of the file clock a rewrite can keep even the change
    // time: a file read before it had settled is not kept.
    rewriteOptions({{"copyPath", false}});
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", false}}));
    auto first = cache_->read(optionsFile()), second = cache_->read(optionsFile());
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->root, second->root) << "nothing kept from a file that had not settled";

    std::this_thread::sleep_for(posix::kSettleTime + 50ms);
    first = cache_->read(suiteFile().string()), second = cache_->read(suiteFile().string());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->root, second->root) << "a settled file is read once";
    EXPECT_TRUE(reader_.openSuite(kSuite)->boolForKey("appIsRunning"));
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", false}}));

    // The suite file replaced by rename with the same size; the options rewritten.
    const auto suiteSize = fs::file_size(suiteFile());
    ASSERT_TRUE(open()->setObject(false, "appIsRunning"));
    rewriteOptions({{"copyPath", true}});
    ASSERT_EQ(fs::file_size(suiteFile()), suiteSize);
    EXPECT_FALSE(reader_.openSuite(kSuite)->boolForKey("appIsRunning"));
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", true}}));
}

TEST_F(CachedSettingsTest, ADeletedContainerIsMadeAgainAndNoneWhenItCannotBe) {
    ASSERT_TRUE(reader_.openSuite(kSuite));
    fs::remove_all(dir_ / "containers" / kSuite);
    auto suite = reader_.openSuite(kSuite);
    ASSERT_TRUE(suite);
    EXPECT_TRUE(fs::is_directory(preferences()));
    EXPECT_TRUE(suite->setObject(true, "appIsRunning"));

    fs::remove_all(dir_ / "containers");
    writeBytes(dir_ / "containers", "not a folder");
    EXPECT_EQ(reader_.openSuite(kSuite), nullptr);
    EXPECT_EQ(containers_.containerURL(kSuite), std::nullopt);
}

} // namespace
} // namespace corvane
