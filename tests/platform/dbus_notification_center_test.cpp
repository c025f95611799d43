// How user info maps to D-Bus values, and what is nested too deeply to
// travel, is gvariant_plist_test's; the companion tool's tests in
// tests/integration hear notifications from other programs.

#include "platform/linux/dbus_notification_center.h"
#include "tests/integration/process_harness.h"
#include "tests/platform/test_support.h"

#include <giomm/dbusconnection.h>
#include <giomm/init.h>
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <vector>

namespace corvane {
namespace {

using namespace std::chrono_literals;

Glib::RefPtr<Gio::DBus::Connection> connect(const testing::PrivateBus& bus) {
    Gio::init();
    auto connection = Gio::DBus::Connection::create_for_address_sync(
        bus.address(), Gio::DBus::ConnectionFlags::AUTHENTICATION_CLIENT |
                           Gio::DBus::ConnectionFlags::MESSAGE_BUS_CONNECTION);
    connection->set_exit_on_close(false);
    return connection;
}

// Two clients of one private bus: one posts, the other observes.
TEST(DBusNotificationCenter, ObserversGetWhatCanTravelUnderTheirNameUntilRemoved) {
    testing::PrivateBus bus;
    auto posterConnection = connect(bus), observerConnection = connect(bus);
    DBusNotificationCenter poster(posterConnection, std::cerr),
        observer(observerConnection, std::cerr);
    std::vector<Notification> all;
    std::vector<std::string> named, selfRemoving, removedByOther;
    DBusNotificationCenter::ObserverId selfId = 0, otherId = 0;
    observer.addObserver("Corvane.A", [&](const Notification& n) {
        named.push_back(n.name);
        throw std::runtime_error("a failing observer does not stop the others");
    });
    selfId = observer.addObserver("", [&](const Notification& n) {
        selfRemoving.push_back(n.name);
        observer.removeObserver(selfId);
        observer.removeObserver(otherId);
    });
    otherId =
        observer.addObserver("", [&](const Notification& n) { removedByOther.push_back(n.name); });
    // Last, so that it hears a notification only after the failing observer.
    observer.addObserver("", [&](const Notification& n) { all.push_back(n); });
    // A round trip to the bus: the observer's match rule is in force after it.
    observerConnection->call_sync("/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", {},
                                  "org.freedesktop.DBus");

    poster.post("Corvane.B", {{"k", PlistArray{1, "v"}}});
    poster.post("bad \xC3\x28 name", {{"k", 1}});
    poster.post(std::string("nul\0inside", 10), {{"k", 1}});
    // Another sender's signal without user info.
    posterConnection->emit_signal(
        std::string(DBusNotificationCenter::kObjectPath),
        std::string(DBusNotificationCenter::kInterface),
        std::string(DBusNotificationCenter::kSignalName), "",
        Glib::VariantContainerBase(g_variant_new("(s)", "Corvane.Shell")));
    poster.post("Corvane.A", {});
    // What one connection sends arrives in order: the last one ends the wait.
    ASSERT_TRUE(
        testing::spinUntil([&] { return !all.empty() && all.back().name == "Corvane.A"; }, 5s));

    ASSERT_EQ(all.size(), 3u) << "nothing that cannot travel is posted";
    EXPECT_EQ(all[0].userInfo, (PlistDictionary{{"k", PlistArray{1, "v"}}}));
    EXPECT_EQ(all[1].name, "Corvane.Shell");
    EXPECT_EQ(all[1].userInfo, PlistDictionary{});
    EXPECT_EQ(named, std::vector<std::string>{"Corvane.A"});
    EXPECT_EQ(selfRemoving, std::vector<std::string>{"Corvane.B"});
    EXPECT_TRUE(removedByOther.empty());
    posterConnection->close_sync();
    observerConnection->close_sync();
}

} // namespace
} // namespace corvane
