#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using posix::Replace;
using testing::readBytes;
using testing::writeBytes;

/// What stands at the target path before a write or a read.
enum class Item { Nothing, File, DanglingLink, Folder, MissingFolder };

class FileIoTest : public testing::TempFolderTest {
  protected:
    /// Puts `item` at `<dir>/target` and returns that path.
    std::string place(Item item) const {
        fs::path target = dir_ / "target";
        switch (item) {
        case Item::Nothing:
            break;
        case Item::File:
            writeBytes(target, "old");
            break;
        case Item::DanglingLink:
            fs::create_symlink(dir_ / "nowhere", target);
            break;
        case Item::Folder:
            fs::create_directories(target / "inside");
            break;
        case Item::MissingFolder:
            return (dir_ / "missing" / "target").string();
        }
        return target.string();
    }
    bool temporaryFileLeft() const {
        return std::any_of(fs::directory_iterator(dir_), {}, [](const auto& entry) {
            return entry.path().filename().string().contains(".tmp-");
        });
    }
};

struct WriteCase {
    const char* name;
    Replace replace;
    Item before;
    mode_t mode;
    int error; // 0 when the write succeeds
};

class AtomicWriteTest : public FileIoTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(AtomicWriteTest, ReplacesOnlyWhenAskedAndNeverLeavesATemporaryFile) {
    const WriteCase& c = GetParam();
    std::string path = place(c.before);
    mode_t savedMask = ::umask(022);
    auto written = posix::writeFileAtomically(path, "new", c.mode, c.replace);
    ::umask(savedMask);

    EXPECT_FALSE(temporaryFileLeft());
    EXPECT_FALSE(fs::exists(dir_ / "nowhere")) << "a link is replaced, never followed";
    if (c.error != 0) {
        ASSERT_FALSE(written);
        EXPECT_EQ(static_cast<int>(written.error().code), c.error) << written.error().description;
        EXPECT_NE(written.error().description.find(path), std::string::npos);
        if (c.before == Item::File) {
            EXPECT_EQ(readBytes(path), "old");
        }
        if (c.before == Item::Folder) {
            EXPECT_TRUE(fs::is_directory(dir_ / "target" / "inside"));
        }
        return;
    }
    ASSERT_TRUE(written) << written.error().description;
    EXPECT_EQ(readBytes(path), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, c.mode & ~mode_t{022}) << "the umask applies";
}

INSTANTIATE_TEST_SUITE_P(
    Table, AtomicWriteTest,
    ::testing::Values(
        WriteCase{"ExistingOverNothing", Replace::Existing, Item::Nothing, 0600, 0},
        WriteCase{"ExistingOverFile", Replace::Existing, Item::File, 0666, 0},
        WriteCase{"ExistingOverLink", Replace::Existing, Item::DanglingLink, 0644, 0},
        WriteCase{"ExistingOverFolder", Replace::Existing, Item::Folder, 0644, EISDIR},
        WriteCase{"ExistingInMissingFolder", Replace::Existing, Item::MissingFolder, 0644, ENOENT},
        WriteCase{"NeverOverNothing", Replace::Never, Item::Nothing, 0666, 0},
        WriteCase{"NeverOverFile", Replace::Never, Item::File, 0666, EEXIST},
        WriteCase{"NeverOverLink", Replace::Never, Item::DanglingLink, 0666, EEXIST},
        WriteCase{"NeverOverFolder", Replace::Never, Item::Folder, 0666, EEXIST}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileIoTest, AtomicWriteRefusesAPathWithoutAFileName) {
    for (const std::string& path : {""s, "/"s, (dir_ / "").string(), dir_.string() + "/a\0b"s}) {
        auto written = posix::writeFileAtomically(path, "x", 0600, Replace::Existing);
        ASSERT_FALSE(written) << path;
        EXPECT_EQ(written.error().code, std::errc::invalid_argument) << path;
    }
}

// The file manager's read is the same read, reduced to the dictionary or none.
TEST_F(FileIoTest, PlistFileReadTellsMissingUnreadableUnopenableAndGoodApart) {
    const PlistDictionary options{{"newTextFile", true}, {"copyPath", false}};
    writeBytes(dir_ / "garbage.plist", "\x93\x01\xff\x00garbage\x7f"s);
    writeBytes(dir_ / "empty.plist", "");
    writeBytes(dir_ / "array.plist", plist::writeXml(PlistArray{true}).value());
    writeBytes(dir_ / "xml.plist", plist::writeXml(options).value());
    writeBytes(dir_ / "binary.plist", plist::writeBinary(options).value());
    ASSERT_EQ(::mkfifo((dir_ / "fifo.plist").c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder.plist");

    struct Case {
        std::string name;
        int error; // 0 when the read succeeds
        PlistFileState state;
    };
    const Case cases[] = {
        {"missing.plist", 0, PlistFileState::Missing},
        {"missing/x.plist", 0, PlistFileState::Missing},
        {"garbage.plist", 0, PlistFileState::Unreadable},
        {"empty.plist", 0, PlistFileState::Unreadable},
        {"array.plist", 0, PlistFileState::Unreadable},
        {"fifo.plist", 0, PlistFileState::Unreadable},
        {"xml.plist", 0, PlistFileState::Good},
        {"binary.plist", 0, PlistFileState::Good},
        {"folder.plist", EISDIR, {}},
        {"xml.plist/x.plist", ENOTDIR, {}},
        {"xml.plist\0"s, EINVAL, {}},
    };
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    for (const Case& c : cases) {
        std::string path = dir_.string() + "/" + c.name;
        auto file = readPlistFile(path);
        if (c.error != 0) {
            ASSERT_FALSE(file) << c.name;
            EXPECT_EQ(static_cast<int>(file.error().code), c.error) << c.name;
        } else {
            ASSERT_TRUE(file) << c.name << ": " << file.error().description;
            EXPECT_EQ(file->state, c.state) << c.name;
            EXPECT_EQ(file->root, c.state == PlistFileState::Good ? options : PlistDictionary{})
                << c.name;
        }
        bool good = file && file->state == PlistFileState::Good;
        EXPECT_EQ(files.readPropertyListDictionary(FileURL::fromPath(path)),
                  good ? std::optional(options) : std::nullopt)
            << c.name;
    }
}

} // namespace
} // namespace corvane
