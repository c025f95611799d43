// The batch-rename exchange with the companion app: the request, and the
// execute requests that come back by notification or as a polled record.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using contract::kBatchRenameExecuteKey;
using contract::kBatchRenameRequestKey;
using contract::kBatchRenameResultKey;

class BatchRenameTest : public fakes::FinderSyncFixture {
  protected:
    BatchRenameTest() {
        makeFinderSync();
        temp.writeFile("w/a.txt", "a");
        temp.writeFile("w/b.txt", "b");
        clearRecords();
    }

    std::string path(std::string_view name) const { return root.appending(name).path(); }
    /// Rename "a.txt" and "b.txt" in "w" to "Photo<n>.txt".
    PlistDictionary request(std::optional<PlistValue> id = std::nullopt) const {
        PlistDictionary fields;
        if (id)
            fields.set("id", *id);
        fields.set("baseName", "Photo");
        fields.set("paths", PlistArray{path("a.txt"), path("b.txt")});
        return fields;
    }
    bool renamed() const {
        return fs::exists(path("Photo1.txt")) && fs::exists(path("Photo2.txt")) &&
               !fs::exists(path("a.txt")) && !fs::exists(path("b.txt"));
    }
    bool untouched() const { return fs::exists(path("a.txt")) && fs::exists(path("b.txt")); }
    void storeRecord(const PlistValue& record) {
        setSharedValue(std::string(kBatchRenameExecuteKey), record);
    }
    void tick() { ASSERT_EQ(scheduler.fireTimers(), 1u); }

    FileURL root = temp.makeFolder("w");
};

// ---------------------------------------------------------------- request

TEST_F(BatchRenameTest, TheRequestGoesOutAsANotificationThenAsTheRecord) {
    // In this order: the file manager's order kept (a folder, a path listed
    // twice), then fewer than two items, whose error record replaces it.
    const std::pair<std::vector<std::string>, bool> selections[] = {
        {{"b.txt", ".", "a.txt", "a.txt"}, false}, {{}, true}, {{"a.txt"}, true}};
    int stored = 0;
    for (const auto& [names, refused] : selections) {
        SCOPED_TRACE(names.size());
        clearRecords();
        std::vector<FileURL> selection;
        PlistArray paths;
        for (const auto& name : names) {
            selection.push_back(root.appending(name));
            paths.push_back(path(name));
        }
        controller.setSelectedItemURLs(selection);
        ASSERT_TRUE(finderSync->performAction("batchRenameItems:"));

        const std::string message = refused ? std::string(kTooFewItemsForBatchRename) : "";
        EXPECT_EQ(notifications.posted().back().name, "Corvane.BatchRenameRequest");
        const PlistDictionary info = refused
                                         ? PlistDictionary{{"isError", true}, {"message", message}}
                                         : PlistDictionary{{"paths", paths}};
        EXPECT_EQ(notifications.posted().back().userInfo, info);
        const PlistDictionary record{
            {"id", "00000000-0000-0000-0000-00000000000" + std::to_string(++stored)},
            {"paths", refused ? PlistArray{} : paths},
            {"isError", refused},
            {"message", message}};
        EXPECT_EQ(sharedValue(kBatchRenameRequestKey), PlistValue(record));
        EXPECT_LT(firstCall("notifications.post"), firstCall("settings.setObject"));
        EXPECT_LT(firstCall("settings.setObject"), firstCall("settings.synchronize"));
    }
    EXPECT_TRUE(untouched());

    // Without the suite the notification still goes out; nothing is stored.
    settings.store(contract::kAppGroupId).remove(kBatchRenameRequestKey);
    settings.setAvailable(false);
    finderSync->batchRenameItems();
    EXPECT_EQ(notifications.posted().size(), 4u);
    settings.setAvailable(true);
    EXPECT_EQ(sharedValue(kBatchRenameRequestKey), std::nullopt);
}

// ---------------------------------------------------------------- notification channel

TEST_F(BatchRenameTest, AnExecuteNotificationRenamesThenPostsAndStoresTheResult) {
    const PlistValue pending = request("Z");
    storeRecord(pending);
    PlistDictionary info = request();
    info.set("paths", PlistArray{path("a.txt"), path("missing.txt"), path("b.txt")});
    info.set("id", "ignored");

    ASSERT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", info}), 1u);
    EXPECT_TRUE(renamed());
    const PlistDictionary expected{{"successCount", 2}, {"failures", PlistArray{"missing.txt"}}};
    ASSERT_EQ(notifications.posted().size(), 1u);
    EXPECT_EQ(notifications.posted()[0].name, "Corvane.BatchRenameResult");
    EXPECT_EQ(notifications.posted()[0].userInfo, expected);
    EXPECT_EQ(sharedValue(kBatchRenameResultKey),
              PlistValue(PlistDictionary{{"id", "00000000-0000-0000-0000-000000000001"},
                                         {"successCount", 2},
                                         {"failures", PlistArray{"missing.txt"}}}));

    EXPECT_EQ(sharedValue(kBatchRenameExecuteKey), pending) << "the record is the other channel's";
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), std::nullopt);
    // Both loads, secured directories first, come before the first move.
    EXPECT_LT(firstCall("settings.objectForKey securedDirectories"),
              firstCall("files.readPropertyListDictionary"));
    EXPECT_LT(firstCall("files.readPropertyListDictionary"), firstCall("files.moveItem"));
}

// Both channels read a request by one rule, checked row by row in the tick table.
TEST_F(BatchRenameTest, AMalformedOrForeignNotificationDoesNothingAtAll) {
    PlistDictionary malformed = request();
    malformed.remove("paths");
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", malformed}), 1u);
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameRequest", request()}), 0u);
    EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameExecuteX", request()}), 0u);

    EXPECT_TRUE(untouched());
    EXPECT_TRUE(notifications.posted().empty());
    EXPECT_EQ(sharedValue(kBatchRenameResultKey), std::nullopt);
    EXPECT_EQ(firstCall("settings.objectForKey securedDirectories"),
              static_cast<std::ptrdiff_t>(calls.size()))
        << "nothing was loaded";
}

// ---------------------------------------------------------------- record channel

TEST_F(BatchRenameTest, EachTickFollowsTheTable) {
    // A valid record, with `more` fields set over it.
    auto valid = [this](const PlistDictionary& more = {}) {
        PlistDictionary fields = request();
        for (const auto& [key, value] : more)
            fields.set(key, value);
        return fields;
    };
    struct Row {
        const char* name;
        /// The id remembered before the tick, from an earlier incomplete record.
        std::optional<std::string> remembered;
        std::optional<PlistValue> record;
        /// Carried out: renamed, result stored, record removed.
        bool runs;
        std::optional<std::string> rememberedAfter;
    };
    const Row rows[] = {
        {"nothing stored", std::nullopt, std::nullopt, false, std::nullopt},
        {"a new id, valid", std::nullopt, valid({{"id", "A"}}), true, "A"},
        {"another id than the remembered, valid", "B", valid({{"id", "A"}}), true, "A"},
        {"the remembered id", "A", valid({{"id", "A"}}), false, "A"},
        {"a new id, no base name", std::nullopt,
         PlistDictionary{{"id", "A"}, {"paths", PlistArray{path("a.txt")}}}, false, "A"},
        {"a new id, a base name that is no string", std::nullopt,
         valid({{"id", "A"}, {"baseName", PlistArray{"Photo"}}}), false, "A"},
        {"a new id, no paths", std::nullopt, valid({{"id", "A"}, {"paths", PlistArray{}}}), false,
         "A"},
        {"a new id, a path that is no string", std::nullopt,
         valid({{"id", "A"}, {"paths", PlistArray{path("a.txt"), PlistData{"b"}}}}), false, "A"},
        {"no id, valid", "B", valid(), true, "B"},
        {"no id, paths that are no array", "B", valid({{"paths", path("a.txt")}}), false, "B"},
        {"an id that is no string counts as none", "7", valid({{"id", 7}}), true, "7"},
        {"a record that is no dictionary", std::nullopt, PlistValue("Photo"), false, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(root.path());
        fs::create_directory(root.path());
        temp.writeFile("w/a.txt", "a");
        temp.writeFile("w/b.txt", "b");
        settings.store(contract::kAppGroupId).remove(kBatchRenameResultKey);
        makeFinderSync(); // nothing remembered
        if (row.remembered) {
            storeRecord(PlistDictionary{{"id", *row.remembered}});
            tick();
            ASSERT_EQ(finderSync->lastBatchRenameExecuteId(), row.remembered);
        }
        settings.store(contract::kAppGroupId).remove(kBatchRenameExecuteKey);
        if (row.record)
            storeRecord(*row.record);

        tick();
        EXPECT_EQ(renamed(), row.runs);
        EXPECT_EQ(untouched(), !row.runs);
        EXPECT_EQ(sharedValue(kBatchRenameResultKey).has_value(), row.runs);
        EXPECT_EQ(sharedValue(kBatchRenameExecuteKey), row.runs ? std::nullopt : row.record);
        EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), row.rememberedAfter);
    }
    EXPECT_TRUE(notifications.posted().empty()) << "no notification on the record channel";
}

TEST_F(BatchRenameTest, ARecordStoredDuringTheRenamesStaysForTheNextTick) {
    storeRecord(request("A"));
    temp.writeFile("w/c.txt", "c");
    const PlistValue newer =
        PlistDictionary{{"id", "B"}, {"baseName", "Later"}, {"paths", PlistArray{path("c.txt")}}};
    bool stored = false;
    files.setBeforeMove([&](const FileURL&, const FileURL&) {
        if (!std::exchange(stored, true))
            storeRecord(newer);
    });
    tick();
    EXPECT_TRUE(renamed());
    EXPECT_EQ(sharedValue(kBatchRenameExecuteKey), newer);
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), "A");

    tick();
    EXPECT_TRUE(fs::exists(path("Later1.txt")));
    EXPECT_EQ(sharedValue(kBatchRenameExecuteKey), std::nullopt);
    auto result = sharedValue(kBatchRenameResultKey);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result->asDictionary().find("id"),
              PlistValue("00000000-0000-0000-0000-000000000002"));
}

// The record channel then does nothing; the notification channel renames
// and posts its result, and stores nothing.
TEST_F(BatchRenameTest, WithoutTheSuite) {
    storeRecord(request("A"));
    settings.setAvailable(false);
    tick();
    EXPECT_TRUE(untouched());
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), std::nullopt);

    notifications.deliver({"Corvane.BatchRenameExecute", request()});
    EXPECT_TRUE(renamed());
    EXPECT_EQ(notifications.posted().size(), 1u);
    settings.setAvailable(true);
    EXPECT_EQ(sharedValue(kBatchRenameResultKey), std::nullopt);
}

} // namespace
} // namespace corvane
