#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist/plist_codec.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_file_manager.h"
#include "platform/linux/posix_io.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::writeBytes;

constexpr std::string_view kSuite = "group.Test.Settings";

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

// Each writer stores keys of its own and adds entries to one shared
// dictionary; a read-modify-write must not lose the other's entries.
TEST_F(SettingsFileTest, TwoProcessesWritingAtOnceLoseNoKey) {
    ASSERT_TRUE(open());
    constexpr int kKeys = 100;
    auto key = [](int writer, int i) {
        return "w" + std::to_string(writer) + "-" + std::to_string(i);
    };
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char byte;
            (void)!::read(gate[0], &byte, 1); // returns when the parent closes the gate
            auto suite = open();
            bool ok = suite != nullptr;
            for (int i = 0; suite && i < kKeys; ++i) {
                ok = suite->setObject(i, key(writer, i)) && ok;
                ok = suite->modifyObject("shared", [&](std::optional<PlistValue>& value) {
                    if (!value)
                        value = PlistDictionary{};
                    value->asDictionary().set(key(writer, i), i);
                }) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    PlistDictionary stored = fileContents();
    ASSERT_TRUE(stored.contains("shared") && stored.find("shared")->isDictionary());
    const PlistDictionary& shared = stored.find("shared")->asDictionary();
    EXPECT_EQ(stored.size(), 2u * kKeys + 1);
    EXPECT_EQ(shared.size(), 2u * kKeys);
    for (int writer = 0; writer < 2; ++writer) {
        for (int i = 0; i < kKeys; ++i) {
            EXPECT_TRUE(stored.contains(key(writer, i))) << key(writer, i);
            EXPECT_TRUE(shared.contains(key(writer, i))) << "shared " << key(writer, i);
        }
    }
}

TEST_F(SettingsFileTest, ReadersAndAKilledWriterOnlyEverSeeWholeFiles) {
    auto payloadFor = [](std::int64_t generation) {
        return PlistValue(PlistDictionary{
            {"generation", generation},
            {"bytes",
             PlistData{std::string(256 * 1024, static_cast<char>('A' + generation % 26))}}});
    };
    // Empty when the file holds one whole payload, else what is wrong with it.
    auto defect = [&]() -> std::string {
        auto value = plist::read(readBytes(suiteFile()));
        if (!value || !value->isDictionary())
            return "unreadable file";
        const PlistValue* payload = value->asDictionary().find("payload");
        const PlistValue* generation = payload && payload->isDictionary()
                                           ? payload->asDictionary().find("generation")
                                           : nullptr;
        if (!generation || !generation->isInteger())
            return "no payload";
        return *payload == payloadFor(generation->asInteger()) ? "" : "mixed payload";
    };
    ASSERT_TRUE(open()->setObject(payloadFor(0), "payload"));

    for (int delayMs : {0, 2, 5, 10, 20, 40, 80}) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto suite = open();
            for (std::int64_t generation = 1;; ++generation)
                (void)suite->setObject(payloadFor(generation), "payload");
        }
        auto killAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        std::string seen;
        while (seen.empty() && std::chrono::steady_clock::now() < killAt)
            seen = defect();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        EXPECT_EQ(seen, "") << "while writing, before the kill at " << delayMs << " ms";
        EXPECT_EQ(defect(), "") << "after the kill at " << delayMs << " ms";
    }

    // A killed writer may leave its temporary file; the next writer, holding
    // the lock, knows no one else can be writing and clears them.
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
    std::mt19937 generator(7);
    std::string random(4096, '\0');
    for (char& c : random)
        c = static_cast<char>(generator());
    // The codec's own tests cover the ways a file can be malformed.
    const std::vector<std::string> unreadable = {
        random, "", plist::writeBinary(PlistArray{PlistValue(1)}).value()};
    for (std::size_t i = 0; i < unreadable.size(); ++i) {
        writeBytes(suiteFile(), unreadable[i]);
        auto suite = open();
        ASSERT_TRUE(suite);
        EXPECT_FALSE(suite->objectForKey("written")) << i;
        EXPECT_FALSE(suite->synchronize()) << i;
        ASSERT_TRUE(suite->setObject(static_cast<int>(i), "written"));
        EXPECT_EQ(fileContents(), (PlistDictionary{{"written", static_cast<int>(i)}})) << i;
    }
    std::vector<std::string> kept = entriesContaining(".unreadable-"), contents;
    ASSERT_EQ(kept.size(), unreadable.size());
    for (const auto& name : kept) {
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
    enum class Rewrite { ByRename, InPlace };
    /// Writes `options` over the options file and gives it back the old
    /// modification time.
    void rewriteOptions(const PlistDictionary& options, Rewrite how) {
        struct stat before {};
        ASSERT_EQ(::stat(optionsFile().c_str(), &before), 0);
        const std::string bytes = plist::writeBinary(options).value();
        if (how == Rewrite::InPlace)
            writeBytes(optionsFile(), bytes);
        else
            ASSERT_TRUE(
                posix::writeFileAtomically(optionsFile(), bytes, 0600, posix::Replace::Existing));
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, optionsFile().c_str(), times, 0), 0);
    }
    static void waitUntilSettled() {
        std::this_thread::sleep_for(PlistFileCache::kSettleTime + std::chrono::milliseconds(50));
    }
};

TEST_F(CachedSettingsTest, KeptValuesGiveWayWhenAnotherWriterReplacesTheFiles) {
    ASSERT_TRUE(open()->setObject(true, "appIsRunning"));
    writeBytes(optionsFile(), plist::writeBinary(PlistDictionary{{"copyPath", true}}).value());
    waitUntilSettled();
    auto first = cache_->read(suiteFile().string()), second = cache_->read(suiteFile().string());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->root, second->root) << "a settled file is read once";
    EXPECT_TRUE(reader_.openSuite(kSuite)->boolForKey("appIsRunning"));
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", true}}));

    // Same sizes and, for the options, the same modification time.
    const auto suiteSize = fs::file_size(suiteFile()), optionsSize = fs::file_size(optionsFile());
    ASSERT_TRUE(open()->setObject(false, "appIsRunning"));
    rewriteOptions({{"copyPath", false}}, Rewrite::ByRename);
    ASSERT_EQ(fs::file_size(suiteFile()), suiteSize);
    ASSERT_EQ(fs::file_size(optionsFile()), optionsSize);
    EXPECT_FALSE(reader_.openSuite(kSuite)->boolForKey("appIsRunning"));
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", false}}));
}

// Within one tick of the file clock a rewrite can keep every part of a file's
// identity; only a file that had settled before it was read is kept.
TEST_F(CachedSettingsTest, AFileChangedJustBeforeItsReadIsReadAgainEachTime) {
    ASSERT_TRUE(open());
    writeBytes(optionsFile(), plist::writeBinary(PlistDictionary{{"copyPath", true}}).value());
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", true}}));

    // Same inode, size and modification time: only the change time can differ.
    rewriteOptions({{"copyPath", false}}, Rewrite::InPlace);
    EXPECT_EQ(readOptions(), (PlistDictionary{{"copyPath", false}}));

    auto first = cache_->read(optionsFile()), second = cache_->read(optionsFile());
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->root, second->root) << "nothing kept from a file that had not settled";
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
