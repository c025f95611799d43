#include "platform/linux/dbus_notification_center.h"
#include "platform/linux/gvariant_plist.h"
#include "tests/integration/process_harness.h"
#include "tests/platform/test_support.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <gtest/gtest.h>

#include <iostream>

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
        poster = std::make_unique<DBusNotificationCenter>(posterConnection, std::cerr);
        observer = std::make_unique<DBusNotificationCenter>(observerConnection, std::cerr);
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

TEST_F(NotificationsOnPrivateBus, UserInfoArrivesWholeAndWhatD_BusCannotCarryIsNotPosted) {
    PlistDictionary userInfo = testing::samplePlist().asDictionary();
    PlistDictionary tooDeep{{"leaf", 1}};
    for (int i = 0; i < kMaxVariantNesting; ++i)
        tooDeep = PlistDictionary{{"k", tooDeep}};
    auto received = deliver([&] {
        poster->post("bad \xC3\x28 name", {{"k", 1}});
        poster->post(std::string("nul\0inside", 10), {{"k", 1}});
        poster->post("Corvane.TooDeep", tooDeep);
        poster->post("Corvane.BatchRenameResult", userInfo);
    });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].name, "Corvane.BatchRenameResult");
    EXPECT_EQ(received[0].userInfo, userInfo);
    // Too deep a message would have made the bus disconnect the poster.
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

// Another sender's signal, with a user info of other integer types or none.
TEST_F(NotificationsOnPrivateBus, OtherSendersAreHeardWithOrWithoutUserInfo) {
    std::vector<Notification> received;
    observer->addObserver("Corvane.FromShell",
                          [&](const Notification& n) { received.push_back(n); });
    for (const char* arguments :
         {"('Corvane.FromShell', {'u': <uint32 4000000000>})", "('Corvane.FromShell',)"}) {
        GVariant* parameters = g_variant_parse(nullptr, arguments, nullptr, nullptr, nullptr);
        posterConnection->emit_signal(std::string(DBusNotificationCenter::kObjectPath),
                                      std::string(DBusNotificationCenter::kInterface),
                                      std::string(DBusNotificationCenter::kSignalName), "",
                                      Glib::VariantContainerBase(parameters));
    }
    ASSERT_TRUE(runLoopUntil([&] { return received.size() == 2; }, 5s));
    EXPECT_EQ(received[0].userInfo, (PlistDictionary{{"u", std::int64_t{4000000000}}}));
    EXPECT_EQ(received[1].userInfo, PlistDictionary{});
}

} // namespace
} // namespace corvane
