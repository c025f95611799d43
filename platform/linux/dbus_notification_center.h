#pragma once

#include "platform/notification_center.h"
#include "platform/plist_value.h"

#include <glibmm/refptr.h>

#include <memory>
#include <optional>
#include <string_view>

typedef struct _GVariant GVariant;

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
///
/// Values travel as: boolean `b`, integer `x`, real `d`, string `s` (or `ay`
/// when it is not valid UTF-8 or holds a NUL byte), data `ay`, date `(d)`
/// with the seconds since 1970-01-01T00:00:00Z, array `av`, dictionary
/// `a{sv}`. See `plistFromVariant` for what is accepted on receipt.
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

/// User info deeper than this many nested arrays and dictionaries is not
/// posted: the bus refuses messages nested beyond its limit.
inline constexpr int kMaxUserInfoDepth = 20;

/// The D-Bus value for `value` (a floating reference), or null when it
/// nests deeper than `kMaxUserInfoDepth`.
GVariant* plistToVariant(const PlistValue& value);
/// The `a{sv}` for `dictionary` (a floating reference), or null when it
/// nests too deep.
GVariant* dictionaryToVariant(const PlistDictionary& dictionary);

/// The property-list value for a received D-Bus value. Integers of every
/// width become integers (a `t` beyond the integer range is dropped);
/// `s`, `o` and `g` strings; `ay` data; `(d)` a date; any other array or
/// structure an array; a dictionary with string keys a dictionary; a
/// variant or a present maybe its content. Elements that cannot be mapped
/// (handles, dictionaries with other keys, absent maybes) are left out; none
/// when `value` itself cannot be mapped.
std::optional<PlistValue> plistFromVariant(GVariant* value);

} // namespace corvane
