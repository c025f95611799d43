#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::readBytes;
using testing::writeBytes;

class TempFolderTest : public testing::TempFolderTest {
  protected:
    FileURL url(const std::string& name) const { return FileURL::fromPath((dir_ / name).string()); }
};

using FileManagerTest = TempFolderTest;

TEST_F(FileManagerTest, ExistenceCountsAnyEntryIncludingADanglingLink) {
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    writeBytes(dir_ / "file", "x");
    fs::create_symlink(dir_ / "missing", dir_ / "dangling");
    for (const std::string& name : {"file"s, ""s, "dangling"s})
        EXPECT_TRUE(files.fileExists(url(name).path())) << name;
    EXPECT_FALSE(files.fileExists(url("missing").path()));
    EXPECT_FALSE(files.fileExists(url("file").path() + "\0x"s));
}

TEST_F(FileManagerTest, MoveTakesAFreeNameButNeverReplacesAFileOrAFolder) {
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    writeBytes(dir_ / "file", "source");
    writeBytes(dir_ / "takenFile", "taken");
    fs::create_directory(dir_ / "folder");
    fs::create_directory(dir_ / "emptyFolder"); // plain rename() would replace it

    auto ontoFile = files.moveItem(url("file"), url("takenFile"));
    ASSERT_FALSE(ontoFile);
    EXPECT_EQ(ontoFile.error().code, std::errc::file_exists);
    EXPECT_NE(ontoFile.error().description.find("File exists"), std::string::npos);
    EXPECT_FALSE(files.moveItem(url("folder"), url("emptyFolder")));
    EXPECT_EQ(readBytes(dir_ / "takenFile"), "taken");
    EXPECT_TRUE(fs::is_empty(dir_ / "emptyFolder"));

    ASSERT_TRUE(files.moveItem(url("file"), url("free")));
    EXPECT_FALSE(fs::exists(dir_ / "file"));
    EXPECT_EQ(readBytes(dir_ / "free"), "source");
}

// The atomic writer's own table covers links, missing folders and temporary files.
TEST_F(FileManagerTest, CreateFileAtomicallyNeverReplaces) {
    PosixFileManager files{std::make_shared<PlistFileCache>()};
    ASSERT_TRUE(files.createFileAtomically(url("Untitled.txt"), "hello\n"));
    EXPECT_EQ(readBytes(dir_ / "Untitled.txt"), "hello\n");
    auto again = files.createFileAtomically(url("Untitled.txt"), "new");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, std::errc::file_exists);
    EXPECT_EQ(readBytes(dir_ / "Untitled.txt"), "hello\n");
}
} // namespace
} // namespace corvane
