// What callers of the pasteboard rely on, checked on its fallback file, which
// the unit tests use as their pasteboard.

#include "platform/linux/desktop_clipboard.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(FallbackPasteboard, APasteGivesTheLastBytesStoredAndOnlyItsOwnerCanReadThem) {
    testing::TempDir temp;
    const std::string folder = temp / "runtime/corvane";
    DesktopClipboard board({DesktopClipboard::Mechanism::File, folder + "/pasteboard"});
    EXPECT_EQ(board.string(), "") << "nothing stored yet";
    for (const std::string& text :
         {std::string("/caf\xe9\t/line\nfeed\n"), std::string("\0b", 2)}) {
        ASSERT_TRUE(board.setString("something longer before"));
        ASSERT_TRUE(board.setString(text));
        EXPECT_EQ(board.string(), text);
    }
    EXPECT_EQ(fs::status(folder + "/pasteboard").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "no temporary file stays";
    ASSERT_TRUE(board.clearContents());
    EXPECT_EQ(board.string(), "");

    // A regular file where the folder should be: every call fails and says why.
    temp.writeFile("blocked", "");
    DesktopClipboard blocked({DesktopClipboard::Mechanism::File, temp / "blocked/pasteboard"});
    auto set = blocked.setString("/a");
    ASSERT_FALSE(set);
    EXPECT_NE(set.error().description.find(temp / "blocked"), std::string::npos)
        << set.error().description;
    EXPECT_FALSE(blocked.string());
}

} // namespace
} // namespace corvane
