#include "platform/linux/dbus_notification_center.h"
#include "tests/integration/process_harness.h"
#include "tests/platform/test_support.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::PrivateBus;
using testing::runLoopUntil;

Glib::RefPtr<Gio::DBus::Connection> connect(const PrivateBus& bus) {
    auto connection = Gio::DBus::Connection::create_for_address_sync(
        bus.address(), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                           Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
    connection->set_exit_on_close(false);
    return connection;
}

// A round trip to the bus: every match rule sent before it is in force after it.
void settle(const Glib::RefPtr<Gio::DBus::Connection>& connection) {
    connection->call_sync("/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", {},
                          "org.freedesktop.DBus");
}

// Two clients of one private bus: `poster` sends, `observer` receives.
class NotificationsOnPrivateBus : public ::testing::Test {
  protected:
    void SetUp() override {
        Gio::init();
        posterConnection = connect(bus);
        observerConnection = connect(bus);
        poster = std::make_unique<DBusNotificationCenter>(posterConnection);
        observer = std::make_unique<DBusNotificationCenter>(observerConnection);
        settle(observerConnection);
    }
    void TearDown() override {
        poster.reset();
        observer.reset();
        posterConnection->close_sync();
        observerConnection->close_sync();
    }

    // Observes every notification on `observer`, then posts a marker last and
    // waits for it, so everything posted before has been delivered.
    std::vector<Notification> deliver(const std::function<void()>& postAll) {
        std::vector<Notification> received;
        bool sawMarker = false;
        auto id = observer->addObserver("", [&](const Notification& n) {
            if (n.name == "test.Marker")
                sawMarker = true;
            else
                received.push_back(n);
        });
        postAll();
        poster->post("test.Marker", {});
        EXPECT_TRUE(runLoopUntil([&] { return sawMarker; }, 5s));
        observer->removeObserver(id);
        return received;
    }

    PrivateBus bus;
    Glib::RefPtr<Gio::DBus::Connection> posterConnection, observerConnection;
    std::unique_ptr<DBusNotificationCenter> poster, observer;
};

TEST_F(NotificationsOnPrivateBus, EveryValueKindArrivesNestedAndInOrder) {
    PlistDictionary userInfo = testing::samplePlist().asDictionary();
    userInfo.set("fractional date", PlistDate{12345.5});
    auto received = deliver([&] { poster->post("Corvane.BatchRenameResult", userInfo); });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].name, "Corvane.BatchRenameResult");
    EXPECT_EQ(received[0].userInfo, userInfo);
}

TEST_F(NotificationsOnPrivateBus, WhatD_BusCannotCarryIsSentAsDataLeftOutOrNotPosted) {
    const std::string invalid = "bad \xC3\x28 byte";
    const std::string withNul("nul\0inside", 10);
    auto nest = [](int depth) {
        PlistDictionary info{{"leaf", 1}};
        for (int i = 1; i < depth; ++i)
            info = PlistDictionary{{"k", info}};
        return info;
    };
    auto received = deliver([&] {
        poster->post(invalid, {{"k", 1}});                   // name not posted
        poster->post(withNul, {{"k", 1}});                   // name not posted
        poster->post("Corvane.Invalid", {{"value", invalid}, // value sent as bytes
                                         {"nul", withNul},
                                         {invalid, "key left out"}});
        poster->post("Corvane.TooDeep", nest(kMaxUserInfoDepth + 5)); // not posted
        poster->post("Corvane.Deep", nest(kMaxUserInfoDepth));
    });
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].name, "Corvane.Invalid");
    EXPECT_EQ(received[0].userInfo,
              (PlistDictionary{{"value", PlistData{invalid}}, {"nul", PlistData{withNul}}}));
    EXPECT_EQ(received[1].name, "Corvane.Deep");
    EXPECT_FALSE(posterConnection->is_closed());
}

TEST_F(NotificationsOnPrivateBus, ObserversGetOnlyTheirNameAndStopWhenRemoved) {
    std::vector<std::string> named, selfRemoving, removedByOther;
    DBusNotificationCenter::ObserverId selfId = 0, otherId = 0;
    observer->addObserver("Corvane.A", [&](const Notification& n) {
        named.push_back(n.name);
        throw std::runtime_error("a failing observer does not stop the others");
    });
    selfId = observer->addObserver("", [&](const Notification& n) {
        selfRemoving.push_back(n.name);
        observer->removeObserver(selfId);
        observer->removeObserver(otherId);
    });
    otherId =
        observer->addObserver("", [&](const Notification& n) { removedByOther.push_back(n.name); });
    auto all = deliver([&] {
        poster->post("Corvane.B", {});
        poster->post("Corvane.A", {});
    });
    EXPECT_EQ(named, std::vector<std::string>{"Corvane.A"});
    EXPECT_EQ(selfRemoving, std::vector<std::string>{"Corvane.B"});
    EXPECT_TRUE(removedByOther.empty());
    ASSERT_EQ(all.size(), 2u);
}

TEST_F(NotificationsOnPrivateBus, OtherSendersTypesAreMapped) {
    std::vector<Notification> received;
    observer->addObserver("Corvane.FromShell",
                          [&](const Notification& n) { received.push_back(n); });
    auto env = testing::currentEnvironment();
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
    auto result = testing::runCommand(
        {"gdbus", "emit", "--session", "--object-path",
         std::string(DBusNotificationCenter::kObjectPath), "--signal",
         std::string(DBusNotificationCenter::kInterface) + "." +
             std::string(DBusNotificationCenter::kSignalName),
         "'Corvane.FromShell'",
         "{'u': <uint32 4000000000>, 'y': <byte 7>, 'n': <int16 -3>, 'big': <uint64 "
         "18446744073709551615>, 'names': <['x', 'y']>, 'when': <(978307200.0,)>, 'path': "
         "<objectpath '/p'>, 'pair': <(1, 'two')>, 'intKeys': <{1: 'one'}>, 'str': <'s'>}"},
        env);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    ASSERT_TRUE(runLoopUntil([&] { return !received.empty(); }, 5s));
    EXPECT_EQ(received[0].userInfo, (PlistDictionary{{"u", std::int64_t{4000000000}},
                                                     {"y", 7},
                                                     {"n", -3},
                                                     {"names", PlistArray{"x", "y"}},
                                                     {"when", PlistDate{0}},
                                                     {"path", "/p"},
                                                     {"pair", PlistArray{1, "two"}},
                                                     {"str", "s"}}));
}

} // namespace
} // namespace corvane
