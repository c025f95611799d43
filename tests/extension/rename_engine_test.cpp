// The rename engine on real temporary folders. A batch end to end, with a
// missing item and names kept from an earlier batch, is seen there.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using fakes::CallLog;

/// A folder tree as sorted entries relative to its root: "name=contents" for
/// a file, "name/" for a folder.
std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string name = entry.path().lexically_relative(root).native();
        if (entry.is_directory())
            entries.push_back(name + "/");
        else if (std::ifstream in(entry.path()); in)
            entries.push_back(name + "=" + std::string(std::istreambuf_iterator<char>(in), {}));
    }
    std::ranges::sort(entries);
    return entries;
}

void makeTree(const std::string& root, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const std::size_t eq = entry.find('=');
        if (entry.ends_with('/'))
            fs::create_directories(root + "/" + entry);
        else
            std::ofstream(root + "/" + entry.substr(0, eq)) << entry.substr(eq + 1);
    }
}

class RenameEngineTest : public fakes::FinderSyncFixture {
  protected:
    BatchRenameOutcome rename(const std::vector<std::string>& items, std::string_view baseName,
                              const std::vector<FileURL>& secured = {}) {
        std::vector<FileURL> urls;
        for (const auto& item : items)
            urls.push_back(FileURL::fromPath(root + "/" + item));
        return RenameEngine(files, security).rename(urls, baseName, 1, SecuredFolderRule(secured));
    }

    const std::string root = temp.makeFolder("w").path();
};

struct RenameCase {
    std::vector<std::string> before, items;
    std::string baseName;
    std::vector<std::string> after, failures{};
};

class RenameCases : public RenameEngineTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameCases, EndAsExpectedOnDisk) {
    const RenameCase& c = GetParam();
    makeTree(root, c.before);
    BatchRenameOutcome outcome = rename(c.items, c.baseName);
    EXPECT_EQ(listTree(root), c.after);
    EXPECT_EQ(outcome.failures, c.failures);
    EXPECT_EQ(outcome.successCount, static_cast<std::int64_t>(c.items.size() - c.failures.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Engine, RenameCases,
    ::testing::Values(
        // Each item stays in its folder; the numbers run across folders.
        RenameCase{{"x/", "x/p.png=p", "y/", "y/q.png=q"},
                   {"y/q.png", "x/p.png"},
                   "Img",
                   {"x/", "x/Img1.png=p", "y/", "y/Img2.png=q"}},
        // Sorted by path composed ("é" is U+00E9, after "f"), scalar by
        // scalar: no locale, case folding or numeric reading of digits.
        RenameCase{{"IMG2=2", "IMG10=10", "Z=z", "a=a", "f=f", "e\xCC\x81=e"},
                   {"a", "Z", "IMG2", "f", "e\xCC\x81", "IMG10"},
                   "F",
                   {"F1=10", "F2=2", "F3=z", "F4=a", "F5=f", "F6=e"}},
        // A folder's dot counts; a taken name gets its first free variant,
        // before the last dot of the target, wherever that came from.
        RenameCase{{"Album.2020/", "R1.21=kept", "R1 (1).21=kept", "0=n"},
                   {"Album.2020", "0"},
                   "R1.2",
                   {"R1 (1).21=kept", "R1 (2).21=n", "R1.21=kept", "R1.22.2020/"}},
        // A failure (an item gone, one listed twice) still uses up its number.
        RenameCase{
            {"a=a", "c=c"}, {"c", "a", "b", "a"}, "Base", {"Base1=a", "Base4=c"}, {"a", "b"}}));

TEST_F(RenameEngineTest, NothingIsTriedThatWouldLeaveItsFolder) {
    makeTree(root, {"sub/", "sub/a=a"});
    // An item named by a relative path, by its folder or by its parent.
    const std::vector<FileURL> items{FileURL::fromPath("relative"),
                                     FileURL::fromPath(root + "/sub/.."),
                                     FileURL::fromPath(root + "/sub/.")};
    EXPECT_EQ(RenameEngine(files, security).rename(items, "B", 1, {}),
              (BatchRenameOutcome{0, {".", "..", "relative"}}));
    EXPECT_EQ(rename({"sub/a"}, "sub/x"), (BatchRenameOutcome{0, {"a"}})) << "a base name with /";
    EXPECT_EQ(callsStartingWith({"files."}), CallLog{});
    EXPECT_EQ(listTree(root), (std::vector<std::string>{"sub/", "sub/a=a"}));
}

TEST_F(RenameEngineTest, ANameTakenBetweenTheLookAndTheMoveIsNeverReplaced) {
    makeTree(root, {"a=a", "b=b"});
    // Another process takes each item's first destination just before the move.
    std::set<std::string> raced;
    files.beforeMove = [&](const FileURL& from, const FileURL& to) {
        if (raced.insert(from.path()).second)
            std::ofstream(to.path()) << "racer";
    };
    EXPECT_EQ(rename({"a", "b"}, "B"), (BatchRenameOutcome{2, {}}));
    EXPECT_EQ(listTree(root),
              (std::vector<std::string>{"B1 (1)=a", "B1=racer", "B2 (1)=b", "B2=racer"}));
}

TEST_F(RenameEngineTest, EachMoveInsideASecuredFolderRunsInAccessToTheItem) {
    makeTree(root, {"s/", "s/a=a", "s/c=c", "o/", "o/b=b"});
    security.refused.insert(root + "/s/c");
    // Inside is a character prefix of any secured folder (see hasCharacterPrefix).
    rename({"s/c", "s/a", "o/b"}, "B",
           {FileURL::fromPath("/elsewhere"), FileURL::fromPath(root + "/s")});
    EXPECT_EQ(callsStartingWith({"files.move", "security."}),
              (CallLog{"files.moveItem " + root + "/o/b -> " + root + "/o/B1",
                       "security.startAccessing " + root + "/s/a",
                       "files.moveItem " + root + "/s/a -> " + root + "/s/B2",
                       "security.stopAccessing " + root + "/s/a",
                       "security.startAccessing " + root + "/s/c",
                       "files.moveItem " + root + "/s/c -> " + root + "/s/B3"}));
}

} // namespace
} // namespace corvane
