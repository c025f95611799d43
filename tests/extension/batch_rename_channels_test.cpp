// The batch-rename exchange with the companion app: the request, and the
// execute requests that come back by notification or as a polled record.

#include "tests/fakes/finder_sync_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::ptrdiff_t firstCall(std::string_view prefix) const {
        return std::ranges::find_if(calls, [&](const auto& c) { return c.starts_with(prefix); }) -
               calls.begin();
    }

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

TEST_F(BatchRenameTest, AMalformedOrForeignNotificationDoesNothingAtAll) {
    const PlistDictionary malformed[] = {
        {},
        {{"paths", PlistArray{path("a.txt")}}},
        {{"baseName", 5}, {"paths", PlistArray{path("a.txt")}}},
        {{"baseName", "Photo"}},
        {{"baseName", "Photo"}, {"paths", PlistArray{}}},
        {{"baseName", "Photo"}, {"paths", path("a.txt")}},
        {{"baseName", "Photo"}, {"paths", PlistArray{path("a.txt"), 5}}},
    };
    for (const auto& info : malformed)
        EXPECT_EQ(notifications.deliver({"Corvane.BatchRenameExecute", info}), 1u);
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

struct TickCase {
    const char* name;
    /// The id remembered before the tick, from an earlier incomplete record.
    std::optional<std::string> remembered;
    /// The stored record; none stores nothing.
    std::optional<PlistValue> record;
    /// Carried out: renamed, result stored, record removed.
    bool runs;
    std::optional<std::string> rememberedAfter;
};

void PrintTo(const TickCase& c, std::ostream* out) {
    *out << c.name;
}

class TickCases : public BatchRenameTest, public ::testing::WithParamInterface<TickCase> {
  protected:
    /// The record in the test case, with the paths of this test's folder.
    std::optional<PlistValue> recordOf(const TickCase& c) const {
        if (!c.record || !c.record->isDictionary())
            return c.record;
        PlistDictionary record = c.record->asDictionary();
        if (PlistValue* paths = record.find("paths"); paths && paths->isArray())
            for (PlistValue& p : paths->asArray())
                if (p.isString())
                    p = path(p.asString());
        return record;
    }
};

TEST_P(TickCases, FollowTheTable) {
    const TickCase& c = GetParam();
    if (c.remembered) {
        storeRecord(PlistDictionary{{"id", *c.remembered}});
        tick();
        ASSERT_EQ(finderSync->lastBatchRenameExecuteId(), c.remembered);
    }
    settings.store(contract::kAppGroupId).remove(kBatchRenameExecuteKey);
    const std::optional<PlistValue> record = recordOf(c);
    if (record)
        storeRecord(*record);

    tick();
    EXPECT_EQ(renamed(), c.runs);
    EXPECT_EQ(untouched(), !c.runs);
    EXPECT_EQ(sharedValue(kBatchRenameResultKey).has_value(), c.runs);
    EXPECT_EQ(sharedValue(kBatchRenameExecuteKey), c.runs ? std::nullopt : record);
    EXPECT_EQ(finderSync->lastBatchRenameExecuteId(), c.rememberedAfter);
    EXPECT_TRUE(notifications.posted().empty()) << "no notification on the record channel";
}

const PlistValue kValid =
    PlistDictionary{{"baseName", "Photo"}, {"paths", PlistArray{"a.txt", "b.txt"}}};
PlistValue with(PlistDictionary fields, const PlistDictionary& more) {
    for (const auto& [key, value] : more)
        fields.set(key, value);
    return fields;
}

const TickCase kTickCases[] = {
    {"nothing stored", std::nullopt, std::nullopt, false, std::nullopt},
    {"a new id, valid", std::nullopt, with(kValid.asDictionary(), {{"id", "A"}}), true, "A"},
    {"another id than the remembered, valid", "B", with(kValid.asDictionary(), {{"id", "A"}}), true,
     "A"},
    {"the remembered id", "A", with(kValid.asDictionary(), {{"id", "A"}}), false, "A"},
    {"a new id, no base name", std::nullopt,
     PlistDictionary{{"id", "A"}, {"paths", PlistArray{"a.txt"}}}, false, "A"},
    {"a new id, a base name that is no string", std::nullopt,
     with(kValid.asDictionary(), {{"id", "A"}, {"baseName", PlistArray{"Photo"}}}), false, "A"},
    {"a new id, no paths", std::nullopt,
     with(kValid.asDictionary(), {{"id", "A"}, {"paths", PlistArray{}}}), false, "A"},
    {"a new id, a path that is no string", std::nullopt,
     with(kValid.asDictionary(), {{"id", "A"}, {"paths", PlistArray{"a.txt", PlistData{"b"}}}}),
     false, "A"},
    {"no id, valid", "B", kValid, true, "B"},
    {"no id, not valid", "B", PlistDictionary{{"baseName", "Photo"}}, false, "B"},
    {"an id that is no string counts as none", "7", with(kValid.asDictionary(), {{"id", 7}}), true,
     "7"},
    {"a record that is no dictionary", std::nullopt, PlistValue("Photo"), false, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(BatchRename, TickCases, ::testing::ValuesIn(kTickCases),
                         [](const auto& info) { return "row" + std::to_string(info.index); });

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
