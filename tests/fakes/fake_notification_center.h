#pragma once

#include "platform/notification_center.h"
#include "tests/fakes/call_log.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace corvane::fakes {

/// Records posts with their user info and keeps its observers, which hear
/// only what a test delivers.
class FakeNotificationCenter final : public NotificationCenter, Recorder {
  public:
    using Recorder::Recorder;

    void post(std::string_view name, const PlistDictionary& userInfo) override {
        record("notifications.post " + std::string(name));
        if (onPost)
            onPost();
        posted.push_back(Notification{std::string(name), userInfo});
    }
    ObserverId addObserver(std::string name, Handler handler) override {
        observers_.emplace(++lastId_, std::pair{std::move(name), std::move(handler)});
        return lastId_;
    }
    void removeObserver(ObserverId id) override { observers_.erase(id); }

    /// Calls the observers of `notification`'s name, as a notification from
    /// another process would; returns how many.
    std::size_t deliver(const Notification& notification) {
        std::vector<Handler> matching;
        for (const auto& [id, observer] : observers_)
            if (observer.first == notification.name)
                matching.push_back(observer.second);
        for (const Handler& handler : matching)
            handler(notification);
        return matching.size();
    }

    /// Runs as each post begins.
    std::function<void()> onPost;
    /// Every notification posted, in order.
    std::vector<Notification> posted;

  private:
    ObserverId lastId_ = 0;
    std::map<ObserverId, std::pair<std::string, Handler>> observers_;
};

} // namespace corvane::fakes
