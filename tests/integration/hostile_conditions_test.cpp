// corvane-findersync under hostile or unlucky conditions, end to end: odd
// records written by a companion, a flood of execute notifications from a
// program on the bus, and the settings lock held by another process. The
// process must never freeze: corvane-finder gives up on a menu after five
// seconds, so each menu asked for below shows that it kept serving.

#include "extension/companion_contract.h"
#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/directory_app_group_containers.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/plist_file_settings.h"
#include "tests/integration/end_to_end.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>

#include <cmath>
#include <csignal>
#include <memory>
#include <thread>

namespace corvane::testing {
namespace {

class HostileConditions : public EndToEnd {
  protected:
    void SetUp() override {
        companion({"running", "on"});
        companion({"options", "batchRename=true"});
        dir.writeFile("a", "a");
        dir.writeFile("b", "b");
    }
    /// Stores `value` under `key` as another program may, through the same suite.
    void store(std::string_view key, const PlistValue& value) {
        DirectoryAppGroupContainers containers(env.at("CORVANE_GROUP_CONTAINERS"));
        auto suite = PlistFileSettingsProvider(containers, std::make_shared<PlistFileCache>())
                         .openSuite(contract::kAppGroupId);
        ASSERT_TRUE(suite && suite->setObject(value, key));
    }
    std::string read(const std::string& key) const { return companion({"read", key}).out; }
    CommandResult batchRename(const std::string& first, const std::string& second) const {
        return finder({"choose", "Batch Rename", first, second});
    }
    std::string lockFile() const {
        return env.at("CORVANE_GROUP_CONTAINERS") +
               "/group.Brenvo.Corvane/Library/Preferences/group.Brenvo.Corvane.plist.lock";
    }
};

TEST_F(HostileConditions, OddSettingsAreServedAndNoRequestIsTakenForAnother) {
    // 100,000 option keys: read in one pass, the menu comes in time.
    PlistDictionary options;
    for (int i = 0; i < 100'000; ++i)
        options.appendNew("unknown" + std::to_string(i), true);
    options.appendNew("batchRename", true);
    store(contract::kMenuOptionsKey, options);
    startExtension();
    CommandResult menu = finder({"menu"});
    EXPECT_EQ(menu.out, "New Text File\nBatch Rename\n") << menu.err;
    // The rest needs no large suite, which under the sanitizers is slow to write.
    store(contract::kMenuOptionsKey, PlistDictionary{{"batchRename", true}});

    // A record holding a NaN, without an id, equals itself: carried out once
    // and removed, not again at every tick.
    store(contract::kBatchRenameExecuteKey,
          PlistDictionary{{"baseName", "N"}, {"paths", PlistArray{dir / "a"}}, {"x", NAN}});
    EXPECT_TRUE(waitUntil([&] { return read("batchRenameExecuteRequest") == "null\n"; }));
    const std::string result = read("batchRenameResult");
    std::this_thread::sleep_for(1200ms); // two ticks
    EXPECT_EQ(read("batchRenameResult"), result);
    EXPECT_TRUE(std::filesystem::exists(dir / "N1"));

    // A request that cannot be stored (a path that is not UTF-8) does not
    // leave the previous one standing for it.
    ASSERT_EQ(batchRename(dir / "N1", dir / "b").exitStatus, 0);
    ASSERT_NE(read("batchRenameRequest").find(dir / "N1"), std::string::npos);
    ASSERT_EQ(batchRename(dir / "caf\xe9", dir / "b").exitStatus, 0);
    EXPECT_EQ(read("batchRenameRequest"), "null\n");
    EXPECT_TRUE(extension->waitForLine("Failed to store batch rename request: "));
}

TEST_F(HostileConditions, AFloodOfExecuteNotificationsNeitherStarvesMenusNorQueuesWithoutEnd) {
    startExtension();
    // Any program on the bus may send them; these name a file that is not there.
    Gio::init();
    auto sender = Gio::DBus::Connection::create_for_address_sync(
        env.at("DBUS_SESSION_BUS_ADDRESS"), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                                                Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
    DBusNotificationCenter center(sender, std::cerr);
    const PlistDictionary request{{"baseName", "x"}, {"paths", PlistArray{dir / "missing"}}};
    for (int i = 0; i < 10'000; ++i)
        center.post(contract::kBatchRenameExecuteNotification, request);
    sender->flush_sync();
    CommandResult menu = finder({"menu"});
    EXPECT_EQ(menu.exitStatus, 0) << menu.err;
    EXPECT_TRUE(extension->waitForLine("Dropping notifications", 10s, Stream::Stderr));
    EXPECT_EQ(extension->lines(Stream::Stderr).size(), 1u) << extension->output(Stream::Stderr);
}

TEST_F(HostileConditions, ASettingsLockHeldByAnotherProcessNeverFreezesTheExtension) {
    startExtension();
    Process holder({"flock", "--exclusive", "--close", lockFile(), "sleep", "60"}, env);
    ASSERT_TRUE(waitUntil([&] {
        return runCommand({"flock", "--nonblock", lockFile(), "true"}, env).exitStatus != 0;
    }));
    // The request goes out, its record cannot be stored nor the last removed:
    // the error feedback record follows it.
    auto heard = listen({"Corvane.BatchRenameRequest"}, 2);
    CommandResult chosen = batchRename(dir / "a", dir / "b");
    EXPECT_EQ(chosen.exitStatus, 0) << chosen.err;
    ASSERT_EQ(heard->wait(), 0);
    EXPECT_EQ(heard->lines().back(),
              R"({"name": "Corvane.BatchRenameRequest", "userInfo": {"isError": true, )"
              R"("message": "The selection could not be handed to Corvane+. Please try again."}})");
    EXPECT_TRUE(extension->waitForLine("Failed to store batch rename request: Cannot lock"));
    // An execute still renames, and its result notification tells what the
    // record cannot.
    auto result = listen({"Corvane.BatchRenameResult"});
    companion({"execute", "--via", "notification", "--base", "P", dir / "a"});
    ASSERT_EQ(result->wait(), 0);
    EXPECT_NE(result->output().find(R"("successCount": 1)"), std::string::npos);
    EXPECT_TRUE(extension->waitForLine("Failed to store batch rename result: Cannot lock"));
    EXPECT_EQ(finder({"menu"}).exitStatus, 0);

    // Once the lock is free, records are stored again.
    holder.sendSignal(SIGKILL);
    ASSERT_TRUE(holder.wait());
    EXPECT_EQ(batchRename(dir / "P1", dir / "b").exitStatus, 0);
    EXPECT_TRUE(read("batchRenameRequest").contains(R"([")" + dir / "P1" + R"(", ")" + dir / "b"));
}

} // namespace
} // namespace corvane::testing
