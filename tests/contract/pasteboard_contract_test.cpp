// What callers of the pasteboard rely on, checked on the fake and on the
// Linux clipboard's fallback file alike, so the fake cannot drift.

#include "platform/linux/desktop_clipboard.h"
#include "tests/contract/implementation_name.h"
#include "tests/fakes/fakes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;

struct FakeBoard {
    static constexpr const char* kName = "Fake";
    fakes::FakePasteboard board;
};

/// The fallback file in a folder that does not exist yet.
struct FileBoard {
    static constexpr const char* kName = "FallbackFile";
    testing::TempDir temp;
    DesktopClipboard board{
        {DesktopClipboard::Mechanism::File, temp / "runtime/corvane/pasteboard"}};
};

template <class Traits> class PasteboardContract : public ::testing::Test {
  protected:
    Traits traits_;
};

using Implementations = ::testing::Types<FakeBoard, FileBoard>;
TYPED_TEST_SUITE(PasteboardContract, Implementations, testing::ImplementationName);

TYPED_TEST(PasteboardContract, APasteGivesTheLastStoredBytesExactly) {
    Pasteboard& board = this->traits_.board;
    EXPECT_EQ(board.string(), "") << "nothing stored yet";
    const std::string texts[] = {"/a/x.txt\n/a/y\n/a/z.md", "/caf\xe9\t/line\nfeed\n",
                                 std::string("nul\0byte", 8), ""};
    for (const std::string& text : texts) {
        ASSERT_TRUE(board.setString("something before"));
        ASSERT_TRUE(board.setString(text));
        EXPECT_EQ(board.string(), text);
    }
    ASSERT_TRUE(board.setString("kept"));
    ASSERT_TRUE(board.clearContents());
    EXPECT_EQ(board.string(), "");
    ASSERT_TRUE(board.clearContents()) << "clearing twice";
}

TEST(FallbackPasteboard, OnlyItsOwnerCanReadItAndNoTemporaryFileStays) {
    testing::TempDir temp;
    const std::string file = temp / "runtime/corvane/pasteboard";
    DesktopClipboard board({DesktopClipboard::Mechanism::File, file});
    ASSERT_TRUE(board.setString("/a"));
    ASSERT_TRUE(board.setString("/b"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(temp / "runtime/corvane").permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "runtime/corvane"), {}), 1);

    // A regular file where the folder should be: every call fails and says why.
    testing::TempDir other;
    std::ofstream(other / "runtime") << "";
    DesktopClipboard blocked(
        {DesktopClipboard::Mechanism::File, other / "runtime/corvane/pasteboard"});
    auto set = blocked.setString("/a");
    ASSERT_FALSE(set);
    EXPECT_NE(set.error().description.find(other / "runtime"), std::string::npos)
        << set.error().description;
    EXPECT_FALSE(blocked.string());
}

} // namespace
} // namespace corvane
