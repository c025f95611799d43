// What every settings suite promises (snapshots, merged writes) is checked
// by the typed suite in tests/contract, and two processes writing at once by
// the companion's grant loops in tests/integration; these are the file's own.

#include "platform/linux/change_watch.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::string_view kSuite = "group.Test.Settings";
const std::string kFolder = "containers/group.Test.Settings/Library/Preferences/";
const std::string kFile = kFolder + "group.Test.Settings.plist";

class SettingsFileTest : public testing::TempFolderTest {
  protected:
    /// A suite opened through a fresh provider, as another process opens it.
    std::unique_ptr<SettingsSuite> open() {
        DirectoryAppGroupContainers containers(temp_ / "containers");
        return PlistFileSettingsProvider(containers, std::make_shared<PlistFileCache>())
            .openSuite(kSuite);
    }
    PlistValue fileContents() const {
        return plist::read(temp_.readFile(kFile)).value_or(PlistValue());
    }
    /// The entries of the suite's folder whose names hold `part`.
    std::vector<std::string> entries(std::string_view part) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(temp_ / kFolder))
            if (entry.path().filename().string().contains(part))
                names.push_back(entry.path().filename().string());
        return names;
    }
    struct stat stat(const std::string& relative = kFile) const {
        struct stat st {};
        EXPECT_EQ(::stat((temp_ / relative).c_str(), &st), 0) << relative;
        return st;
    }
};

TEST_F(SettingsFileTest, WritesReplaceTheFileByRenameKeepingOtherWritersKeysAndNoLeftovers) {
    ASSERT_TRUE(open());
    // Another writer's XML, with an integer above the signed 64-bit range.
    temp_.writeFile(kFile, plist::writeXml(PlistDictionary{{"big", UINT64_MAX}}).value());
    // A killed writer may leave its temporary file; the next writer, holding
    // the lock, knows no one else can be writing and clears it.
    temp_.writeFile(kFolder + posix::atomicWriteTempPrefix("group.Test.Settings.plist") + "x", "");
    const ino_t before = stat().st_ino;
    auto suite = open();
    ASSERT_TRUE(suite->setObject(2, "mine"));
    EXPECT_NE(stat().st_ino, before) << "replaced, never written in place";
    EXPECT_TRUE(temp_.readFile(kFile).starts_with("bplist00"));
    EXPECT_EQ(fileContents(), PlistValue(PlistDictionary{{"big", UINT64_MAX}, {"mine", 2}}));
    EXPECT_TRUE(entries(".tmp-").empty());

    const ino_t written = stat().st_ino;
    ASSERT_TRUE(suite->modifyObject("mine", [](std::optional<PlistValue>& value) { value = 2; }));
    ASSERT_TRUE(suite->removeObjectIfEqual("mine", 3));
    EXPECT_EQ(stat().st_ino, written) << "nothing changed: nothing written";
}

TEST_F(SettingsFileTest, UnreadableFilesReadAsEmptyAndFailedWritesLoseNothing) {
    auto suite = open();
    ASSERT_TRUE(suite->setObject(1, "kept"));
    const std::string before = temp_.readFile(kFile);
    EXPECT_FALSE(testing::failure(suite->setObject(true, "\xff\xfe")).empty());
    EXPECT_EQ(temp_.readFile(kFile), before);

    // Each is kept beside under a name of its own when a write replaces it,
    // though all come within one second; none is set aside for nothing.
    const std::string unreadable[] = {"\x93garbage\xff", "",
                                      plist::writeBinary(PlistArray{1}).value()};
    for (int i = 0; i < 3; ++i) {
        temp_.writeFile(kFile, unreadable[i]);
        auto next = open();
        EXPECT_FALSE(next->objectForKey("written") || next->synchronize()) << i;
        ASSERT_TRUE(next->modifyObject("kept", [](std::optional<PlistValue>&) {}));
        EXPECT_EQ(temp_.readFile(kFile), unreadable[i]);
        ASSERT_TRUE(next->setObject(i, "written"));
        EXPECT_EQ(fileContents(), PlistValue(PlistDictionary{{"written", i}}));
    }
    std::vector<std::string> kept;
    for (const auto& name : entries(".unreadable-")) {
        EXPECT_TRUE(name.starts_with("group.Test.Settings.plist.unreadable-")) << name;
        kept.push_back(temp_.readFile(kFolder + name));
    }
    EXPECT_TRUE(std::ranges::is_permutation(kept, unreadable));

    // An item that cannot be opened may hold good settings: it stays.
    fs::remove(temp_ / kFile);
    fs::create_directory(temp_ / kFile);
    EXPECT_TRUE(testing::failure(suite->setObject(true, "k")).contains("Is a directory"));
    bool called = false;
    EXPECT_FALSE(suite->modifyObject("kept", [&](std::optional<PlistValue>&) { called = true; }));
    EXPECT_FALSE(called);
}

// A reader that keeps its cache across reads and watches for changes, as the
// extension process does.
TEST_F(SettingsFileTest, AKeepingReaderSeesEveryChangeAndMakesAGoneContainerAgain) {
    ChangeWatch watch;
    auto cache = std::make_shared<PlistFileCache>(PlistFileCache::kDefaultCapacity, &watch);
    DirectoryAppGroupContainers containers(temp_ / "containers");
    PlistFileSettingsProvider reader(containers, cache);
    const std::string options = "containers/group.Test.Settings/Options.plist";
    auto read = [&] { return cache->read(temp_ / options).value().root; };
    // Rewrites the options in place, keeping inode, size and modification
    // time: only the change time tells the new content apart.
    auto rewrite = [&](bool copyPath) {
        const struct stat before = stat(options);
        temp_.writeFile(options,
                        plist::writeBinary(PlistDictionary{{"copyPath", copyPath}}).value());
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, (temp_ / options).c_str(), times, 0), 0);
    };
    ASSERT_TRUE(open()->setObject(true, "appIsRunning"));
    temp_.writeFile(options, plist::writeBinary(PlistDictionary{{"copyPath", true}}).value());
    EXPECT_EQ(*read(), (PlistDictionary{{"copyPath", true}}));
    // A file read before it had settled is not kept: a rewrite within one
    // tick of the file clock can keep even the change time.
    rewrite(false);
    EXPECT_EQ(*read(), (PlistDictionary{{"copyPath", false}}));
    EXPECT_NE(read(), read());

    std::this_thread::sleep_for(posix::kSettleTime + 50ms);
    EXPECT_EQ(read(), read()) << "a settled file is read once";
    const PlistDictionary large{
        {"blob", PlistData{std::string(PlistFileCache::kMaxKeptSize + 1, 'x')}}};
    const std::string otherOptions = options + ".other";
    for (const std::string& file : {options, otherOptions})
        temp_.writeFile(file, plist::writeBinary(large).value());
    std::this_thread::sleep_for(posix::kSettleTime + 50ms);
    const auto first = read();
    EXPECT_EQ(first, read());
    EXPECT_EQ(*cache->read(temp_ / otherOptions).value().root, large);
    EXPECT_NE(first, read()) << "one very large file is held at a time";
    EXPECT_TRUE(reader.openSuite(kSuite)->boolForKey("appIsRunning"));
    const auto size = fs::file_size(temp_ / kFile);
    ASSERT_TRUE(open()->setObject(false, "appIsRunning"));
    ASSERT_EQ(fs::file_size(temp_ / kFile), size);
    rewrite(true);
    EXPECT_FALSE(reader.openSuite(kSuite)->boolForKey("appIsRunning"));
    EXPECT_EQ(*read(), (PlistDictionary{{"copyPath", true}}));

    fs::remove_all(temp_ / "containers/group.Test.Settings");
    auto suite = reader.openSuite(kSuite);
    ASSERT_TRUE(suite);
    EXPECT_TRUE(suite->setObject(true, "appIsRunning"));
    fs::remove_all(temp_ / "containers");
    temp_.writeFile("containers", "not a folder");
    EXPECT_EQ(reader.openSuite(kSuite), nullptr);
    EXPECT_EQ(containers.containerURL(kSuite), std::nullopt);
}

} // namespace
} // namespace corvane
