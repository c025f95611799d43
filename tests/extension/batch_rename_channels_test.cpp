// The batch-rename exchange with the companion app: the request, and the
// execute requests that come back by notification or as a polled record.
// A request and one execution on each channel are seen end to end.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using fakes::CallLog;

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
    for (const std::size_t items : {2, 1}) {
        controller.selected.assign(items, FileURL::fromPath(temp / "w/a"));
        clearRecords();
        ASSERT_TRUE(finderSync->performAction("batchRenameItems:"));
        EXPECT_EQ(calls, (CallLog{"notifications.post Corvane.BatchRenameRequest",
                                  "settings.setObject batchRenameRequest"}));
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
    shared().remove("batchRenameRequest");
    settings.available = false;
    ASSERT_TRUE(finderSync->performAction("batchRenameItems:"));
    EXPECT_EQ(notifications.posted.size(), 3u);
    EXPECT_EQ(sharedValue("batchRenameRequest"), std::nullopt);
}

TEST_F(BatchRenameTest, AnExecuteNotificationReloadsThenRenamesInAccessAndPostsAndStoresTheResult) {
    grantFolder("w", FileURL::fromPath(temp / "w"));
    const PlistValue pending = request("Z");
    shared().set(kExecuteKey, pending);
    PlistDictionary info = request("ignored");
    info.set("paths", PlistArray{temp / "w/a", temp / "w/missing", temp / "w/b"});

    ASSERT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", info}), 1u);
    EXPECT_TRUE(renamed());
    EXPECT_EQ(notifications.posted.at(0).name, "Corvane.BatchRenameResult");
    EXPECT_EQ(sharedValue(kResultKey),
              PlistValue(PlistDictionary{{"id", "00000000-0000-0000-0000-000000000001"},
                                         {"successCount", 2},
                                         {"failures", PlistArray{"missing"}}}));
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
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", {}}), 1u);
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameRequest", request()}), 0u);
    EXPECT_TRUE(untouched());
    EXPECT_TRUE(notifications.posted.empty());
    EXPECT_EQ(sharedValue(kResultKey), std::nullopt);
    EXPECT_EQ(callsStartingWith({"security."}), CallLog{}) << "nothing was loaded";
}

TEST_F(BatchRenameTest, EachTickCarriesOutANewRecordAndRemovesItUnlessReplacedMeanwhile) {
    shared().set(kExecuteKey, request("A"));
    const PlistValue newer = PlistDictionary{
        {"id", "B"}, {"baseName", "Later"}, {"paths", PlistArray{temp / "w/Photo1"}}};
    files.beforeMove = [&](const FileURL&, const FileURL&) { shared().set(kExecuteKey, newer); };
    tick();
    EXPECT_TRUE(renamed());
    EXPECT_EQ(sharedValue(kExecuteKey), newer);
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), "A");
    EXPECT_EQ(sharedValue(kResultKey),
              PlistValue(PlistDictionary{{"id", "00000000-0000-0000-0000-000000000001"},
                                         {"successCount", 2},
                                         {"failures", PlistArray{}}}));
    files.beforeMove = nullptr;
    shared().set(kExecuteKey, request("A"));
    tick();
    EXPECT_EQ(sharedValue(kExecuteKey), PlistValue(request("A"))) << "taken up before";
    shared().set(kExecuteKey, newer);
    tick();
    EXPECT_TRUE(fs::exists(temp / "w/Later1"));
    EXPECT_EQ(sharedValue(kExecuteKey), std::nullopt);
    // An incomplete record stays, its id remembered; one whose id is no
    // string runs as one without an id, leaving the remembered id alone.
    const PlistValue incomplete = PlistDictionary{{"id", "C"}};
    shared().set(kExecuteKey, incomplete);
    tick();
    EXPECT_EQ(sharedValue(kExecuteKey), incomplete);
    shared().set(
        kExecuteKey,
        PlistDictionary{{"id", 7}, {"baseName", "X"}, {"paths", PlistArray{temp / "w/x"}}});
    tick();
    EXPECT_EQ(sharedValue(kExecuteKey), std::nullopt);
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), "C");
    EXPECT_TRUE(notifications.posted.empty()) << "no notification on the record channel";
}

// The record channel then does nothing; the notification channel renames
// and posts its result, and stores nothing.
TEST_F(BatchRenameTest, WithoutTheSuite) {
    shared().set(kExecuteKey, request("A"));
    settings.available = false;
    tick();
    EXPECT_TRUE(untouched());
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), std::nullopt);
    notifications.deliver({"Corvane.BatchRenameExecute", request()});
    EXPECT_TRUE(renamed());
    EXPECT_EQ(notifications.posted.size(), 1u);
    EXPECT_EQ(sharedValue(kResultKey), std::nullopt);
}

} // namespace
} // namespace corvane
