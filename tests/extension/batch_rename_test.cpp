// Batch renames: the rename engine on real temporary folders, and the
// exchange with the companion app (the request, and the execute requests
// that come back by notification or as a polled record). A request, a batch
// with a missing item and names kept from an earlier one, and one execution
// on each channel are seen end to end.

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

const std::string kExecuteKey(contract::kBatchRenameExecuteKey);
const std::string kResultKey(contract::kBatchRenameResultKey);

class BatchRenameTest : public fakes::FinderSyncFixture {
  protected:
    BatchRenameTest() {
        temp.makeFolder("w");
        temp.writeFile("w/a", "a");
        temp.writeFile("w/b", "b");
        makeFinderSync();
        clearRecords();
    }
    /// Rename "a" and "b" in "w" to "Photo<n>".
    PlistDictionary request(std::optional<PlistValue> id = std::nullopt) const {
        PlistDictionary fields{{"baseName", "Photo"},
                               {"paths", PlistArray{temp / "w/a", temp / "w/b"}}};
        if (id)
            fields.set("id", *id);
        return fields;
    }
    bool renamed() const { return fs::exists(temp / "w/Photo1") && fs::exists(temp / "w/Photo2"); }
    bool untouched() const { return fs::exists(temp / "w/a") && fs::exists(temp / "w/b"); }
    void tick() { ASSERT_EQ(scheduler.fireTimers(), 1u); }
};

TEST_F(BatchRenameTest, TheRequestGoesOutAsANotificationThenAsTheRecord) {
    notifications.onPost = [&] { EXPECT_FALSE(sharedValue("batchRenameRequest")); };
    for (const std::size_t items : {2, 1}) {
        controller.setRequestContext(std::nullopt,
                                     std::vector(items, FileURL::fromPath(temp / "w/a")));
        unshare("batchRenameRequest");
        ASSERT_TRUE(finderSync->performAction("batchRenameItems:"));
        EXPECT_TRUE(sharedValue("batchRenameRequest"));
    }
    EXPECT_EQ(notifications.posted[0].userInfo,
              (PlistDictionary{{"paths", PlistArray{temp / "w/a", temp / "w/a"}}}));
    // Fewer than two items: the error on both channels, replacing the request.
    const std::string message = "Select at least two items in Finder to use Batch Rename.";
    EXPECT_EQ(notifications.posted[1].userInfo,
              (PlistDictionary{{"isError", true}, {"message", message}}));
    EXPECT_EQ(sharedValue("batchRenameRequest"),
              PlistValue(PlistDictionary{{"id", "00000000-0000-0000-0000-000000000002"},
                                         {"paths", PlistArray{}},
                                         {"isError", true},
                                         {"message", message}}));
    EXPECT_TRUE(untouched());

    // Without the suite the notification still goes out; nothing is stored.
    unshare("batchRenameRequest");
    notifications.onPost = nullptr;
    setSuitesAvailable(false);
    ASSERT_TRUE(finderSync->performAction("batchRenameItems:"));
    EXPECT_EQ(notifications.posted.size(), 3u);
    setSuitesAvailable(true);
    EXPECT_EQ(sharedValue("batchRenameRequest"), std::nullopt);
}

// Its result, posted and stored, is seen end to end.
TEST_F(BatchRenameTest, AnExecuteNotificationReloadsThenRenamesInAccessLeavingTheRecordAlone) {
    grantFolder("w", FileURL::fromPath(temp / "w"));
    const PlistValue pending = request("Z");
    share(kExecuteKey, pending);
    PlistDictionary info = request("ignored");
    info.set("paths", PlistArray{temp / "w/a", temp / "w/missing", temp / "w/b"});

    ASSERT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", info}), 1u);
    EXPECT_TRUE(renamed());
    EXPECT_EQ(sharedValue(kExecuteKey), pending) << "the record is the other channel's";
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), std::nullopt);
    // Both loads, secured directories first, come before the first move.
    const CallLog steps =
        callsStartingWith({"security.startAccessing", "files.read", "files.move"});
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[0], "security.startAccessing " + temp / "w");
    EXPECT_TRUE(steps[1].starts_with("files.readPropertyListDictionary")) << steps[1];
    EXPECT_EQ(steps[2], "security.startAccessing " + temp / "w/a");
}

TEST_F(BatchRenameTest, AMalformedOrForeignNotificationDoesNothingAtAll) {
    grantFolder("w", FileURL::fromPath(temp / "w"));
    for (const auto& [key, value] : {std::pair{"paths", PlistValue(PlistArray{temp / "w/a", 1})},
                                     {"paths", PlistValue(PlistArray{})},
                                     {"baseName", PlistValue(PlistArray{"Photo"})}}) {
        PlistDictionary malformed = request();
        malformed.set(key, value);
        EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", malformed}), 1u);
    }
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameRequest", request()}), 0u);
    EXPECT_TRUE(notifications.posted.empty());
    EXPECT_EQ(callsStartingWith({"security."}), CallLog{}) << "nothing was loaded";
}

TEST_F(BatchRenameTest, EachTickCarriesOutANewRecordAndRemovesItUnlessReplacedMeanwhile) {
    share(kExecuteKey, request("A"));
    const PlistValue newer = PlistDictionary{
        {"id", "B"}, {"baseName", "Later"}, {"paths", PlistArray{temp / "w/Photo1"}}};
    files.beforeMove = [&](const FileURL&, const FileURL&) { share(kExecuteKey, newer); };
    tick();
    EXPECT_TRUE(renamed());
    EXPECT_EQ(sharedValue(kExecuteKey), newer);
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), "A");
    EXPECT_EQ(sharedValue(kResultKey),
              PlistValue(PlistDictionary{{"id", "00000000-0000-0000-0000-000000000001"},
                                         {"successCount", 2},
                                         {"failures", PlistArray{}}}));
    files.beforeMove = nullptr;
    share(kExecuteKey, request("A"));
    tick();
    EXPECT_EQ(sharedValue(kExecuteKey), PlistValue(request("A"))) << "taken up before";
    share(kExecuteKey, newer);
    tick();
    EXPECT_TRUE(fs::exists(temp / "w/Later1"));
    EXPECT_EQ(sharedValue(kExecuteKey), std::nullopt);
    // An incomplete record stays, its id remembered; one whose id is no
    // string runs as one without an id, leaving the remembered id alone.
    const PlistValue incomplete = PlistDictionary{{"id", "C"}};
    share(kExecuteKey, incomplete);
    tick();
    EXPECT_EQ(sharedValue(kExecuteKey), incomplete);
    share(kExecuteKey,
          PlistDictionary{{"id", 7}, {"baseName", "X"}, {"paths", PlistArray{temp / "w/x"}}});
    tick();
    EXPECT_EQ(sharedValue(kExecuteKey), std::nullopt);
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), "C");
    EXPECT_TRUE(notifications.posted.empty()) << "no notification on the record channel";
}

// The record channel then does nothing; the notification channel renames
// and posts its result, and stores nothing.
TEST_F(BatchRenameTest, WithoutTheSuite) {
    share(kExecuteKey, request("A"));
    setSuitesAvailable(false);
    tick();
    EXPECT_TRUE(untouched());
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), std::nullopt);
    notifications.deliver({"Corvane.BatchRenameExecute", request()});
    EXPECT_TRUE(renamed());
    EXPECT_EQ(notifications.posted.size(), 1u);
    setSuitesAvailable(true);
    EXPECT_EQ(sharedValue(kResultKey), std::nullopt);
}

} // namespace
} // namespace corvane
