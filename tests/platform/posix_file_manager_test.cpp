// The file manager and what it is built on. Its existence, moves and new
// files are checked through the rename engine and "New Text File" in
// tests/extension, on the real file system.

#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "platform/linux/posix_io.h"
#include "platform/plist/plist_codec.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace corvane {
namespace {

using namespace std::string_literals;
using posix::Replace;
using PosixFilesTest = testing::TempFolderTest;

// What atomic writes replace, that they never follow a link nor leave a
// temporary file, and the mode they give, are checked through the settings
// files here and through "New Text File" and the pasteboard's fallback file.
TEST_F(PosixFilesTest, AtomicWritesRefuseAPathWithoutAFileName) {
    for (const std::string& path : {""s, "/"s, temp_ / "", temp_ / "a\0b"s}) {
        auto written = posix::writeFileAtomically(path, "x", 0600, Replace::Existing);
        EXPECT_TRUE(!written && written.error().code == std::errc::invalid_argument) << path;
    }
}

TEST_F(PosixFilesTest, PropertyListFilesReadAsTheirStateAndTheFileManagerSeesGoodOnesOnly) {
    const PlistDictionary options{{"newTextFile", true}};
    temp_.writeFile("array.plist", plist::writeXml(PlistArray{true}).value());
    temp_.writeFile("xml.plist", plist::writeXml(options).value());
    ASSERT_EQ(::mkfifo((temp_ / "fifo.plist").c_str(), 0600), 0);
    temp_.makeFolder("folder.plist");
    using State = PlistFileState;
    const std::tuple<std::string, int, State> cases[] = {
        {"missing/x.plist", 0, State::Missing}, {"array.plist", 0, State::Unreadable},
        {"fifo.plist", 0, State::Unreadable},   {"xml.plist", 0, State::Good},
        {"folder.plist", EISDIR, {}},           {"xml.plist\0"s, EINVAL, {}}};
    PosixFileManager files;
    for (const auto& [name, error, state] : cases) {
        const std::string path = temp_ / name;
        auto file = readPlistFile(path);
        EXPECT_EQ(file ? std::errc{} : file.error().code, std::errc(error)) << name;
        if (file) {
            EXPECT_EQ(file->state, state) << name;
            EXPECT_EQ(file->root, state == State::Good ? options : PlistDictionary{}) << name;
        }
        EXPECT_EQ(files.readPropertyListDictionary(FileURL::fromPath(path)),
                  file && state == State::Good ? std::optional(options) : std::nullopt)
            << name;
    }

    // A path cut short at a NUL byte would name another item.
    EXPECT_TRUE(files.fileExists(temp_ / "xml.plist"));
    EXPECT_FALSE(files.fileExists(temp_ / "xml.plist\0x"s));
}

} // namespace
} // namespace corvane
