#pragma once

#include "platform/notification_center.h"
#include "platform/plist_value.h"

#include <glibmm/refptr.h>

#include <memory>
#include <string_view>

namespace Gio::DBus {
class Connection;
}

namespace corvane {

/// Distributed notifications as D-Bus signals on one bus connection.
///
/// A post is the signal `Notification` with arguments (s name, a{sv}
/// userInfo), emitted from `kObjectPath` on `kInterface` with no destination,
/// so every connection of the bus that matches it receives it, this one
/// included. Observers match the signal from any sender and are called from
/// the main context that was current on the thread that built the center.
/// Observers are added and removed on that thread too: the observer table
/// takes no locks.
///
/// User info travels as `plistToVariant` maps it, and is read back with
/// `plistFromVariant` (platform/linux/gvariant_plist.h).
class DBusNotificationCenter final : public NotificationCenter {
  public:
    static constexpr std::string_view kInterface = "Brenvo.Corvane.DistributedNotifications";
    static constexpr std::string_view kObjectPath = "/Brenvo/Corvane/DistributedNotifications";
    static constexpr std::string_view kSignalName = "Notification";

    /// Subscribes to the signal on `connection`. Build it on the thread
    /// whose main loop shall run the observers.
    explicit DBusNotificationCenter(Glib::RefPtr<Gio::DBus::Connection> connection);
    ~DBusNotificationCenter() override;

    DBusNotificationCenter(const DBusNotificationCenter&) = delete;
    DBusNotificationCenter& operator=(const DBusNotificationCenter&) = delete;

    /// Emits the signal; safe from any thread. A name that is not valid UTF-8
    /// (or holds a NUL byte), user info nested deeper than D-Bus carries, or a
    /// connection that is closed means nothing is posted. A dictionary key
    /// that is not valid UTF-8 is left out, with its value. The message is
    /// queued for sending: flush the connection before the process exits.
    void post(std::string_view name, const PlistDictionary& userInfo) override;
    ObserverId addObserver(std::string name, Handler handler) override;
    /// Safe from inside any handler, its own included: a removed observer is
    /// not called again, not even for the notification being delivered.
    void removeObserver(ObserverId id) override;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace corvane
