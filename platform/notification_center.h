#pragma once

#include "platform/plist_value.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvane {

/// A distributed notification: a name and a user-info dictionary.
struct Notification {
    std::string name;
    PlistDictionary userInfo;
};

/// Notifications between processes of the same user session. Observers are
/// called on the main loop's thread; they match any sender.
class NotificationCenter {
  public:
    using Handler = std::function<void(const Notification&)>;
    using ObserverId = std::uint64_t;

    virtual ~NotificationCenter() = default;

    /// Posts at once to every observer of `name`, in this process and others.
    virtual void post(std::string_view name, const PlistDictionary& userInfo) = 0;
    /// Calls `handler` for every later notification named `name`; an empty
    /// name observes every notification.
    virtual ObserverId addObserver(std::string name, Handler handler) = 0;
    virtual void removeObserver(ObserverId id) = 0;
};

} // namespace corvane
