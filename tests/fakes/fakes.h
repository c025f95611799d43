#pragma once

// Stateful fakes of the platform services, with controls for tests. Each fake
// appends what it was asked to a shared `CallLog`, so a test can check the
// order of steps across services; each entry is "<service>.<operation>" with
// its argument after a blank where there is one, e.g.
// "settings.openSuite group.Brenvo.Corvane", "security.stopAccessing /a".

#include "platform/alert.h"
#include "platform/app_group.h"
#include "platform/finder_sync_controller.h"
#include "platform/linux/plist_file.h"
#include "platform/linux/posix_file_manager.h"
#include "platform/notification_center.h"
#include "platform/pasteboard.h"
#include "platform/scheduler.h"
#include "platform/security_scope.h"
#include "platform/settings.h"
#include "platform/uuid.h"
#include "platform/workspace.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::fakes {

/// What the fakes were asked, in order.
using CallLog = std::vector<std::string>;

/// What every fake shares: the call log it appends to, if any.
class Recorder {
  public:
    explicit Recorder(CallLog* calls = nullptr) : calls_(calls) {}

  protected:
    void record(std::string entry) const {
        if (calls_)
            calls_->push_back(std::move(entry));
    }

  private:
    CallLog* calls_;
};

/// Settings suites held in memory, by name. Opening a suite takes a snapshot
/// of its store and `synchronize` refreshes it; a write changes the store and
/// then takes a fresh snapshot, as the real suite does.
class FakeSettingsProvider final : public SettingsProvider, Recorder {
  public:
    using Recorder::Recorder;

    std::unique_ptr<SettingsSuite> openSuite(std::string_view suiteName) override;

    /// While false, every `openSuite` returns none.
    void setAvailable(bool available) { available_ = available; }
    /// The backing store of the suite `name`, created empty on first use.
    PlistDictionary& store(std::string_view name) { return stores_[std::string(name)]; }

  private:
    class Suite;
    bool available_ = true;
    std::map<std::string, PlistDictionary> stores_;
};

class FakeSettingsProvider::Suite final : public SettingsSuite {
  public:
    Suite(FakeSettingsProvider& owner, std::string name)
        : owner_(owner), name_(std::move(name)), snapshot_(owner.store(name_)) {}

    std::optional<PlistValue> objectForKey(std::string_view key) const override {
        owner_.record("settings.objectForKey " + std::string(key));
        const PlistValue* value = snapshot_.find(key);
        return value ? std::optional(*value) : std::nullopt;
    }
    Expected<void> setObject(const PlistValue& value, std::string_view key) override {
        owner_.record("settings.setObject " + std::string(key));
        owner_.store(name_).set(std::string(key), value);
        return refresh();
    }
    Expected<void> removeObject(std::string_view key) override {
        owner_.record("settings.removeObject " + std::string(key));
        owner_.store(name_).remove(key);
        return refresh();
    }
    bool synchronize() override {
        owner_.record("settings.synchronize");
        return refresh().has_value();
    }
    Expected<void> modifyObject(std::string_view key, const Modification& change) override {
        owner_.record("settings.modifyObject " + std::string(key));
        applyModification(owner_.store(name_), key, change);
        return refresh();
    }

  private:
    Expected<void> refresh() {
        snapshot_ = owner_.store(name_);
        return {};
    }

    FakeSettingsProvider& owner_;
    std::string name_;
    PlistDictionary snapshot_;
};

inline std::unique_ptr<SettingsSuite> FakeSettingsProvider::openSuite(std::string_view suiteName) {
    record("settings.openSuite " + std::string(suiteName));
    if (!available_)
        return nullptr;
    return std::make_unique<Suite>(*this, std::string(suiteName));
}

/// One App Group container folder for every group id, or none.
class FakeAppGroupContainers final : public AppGroupContainers, Recorder {
  public:
    using Recorder::Recorder;

    std::optional<FileURL> containerURL(std::string_view groupId) override {
        record("containers.containerURL " + std::string(groupId));
        return folder_;
    }
    void setContainer(std::optional<FileURL> folder) { folder_ = std::move(folder); }

  private:
    std::optional<FileURL> folder_;
};

/// The real POSIX file manager, recording each call; `setExists` makes
/// `fileExists` answer for a chosen path (an application this machine lacks),
/// and `setBeforeMove` runs a test's step just before each move (another
/// process acting meanwhile).
class RecordingFileManager final : public FileManager, Recorder {
  public:
    using Recorder::Recorder;

    bool fileExists(std::string_view path) override {
        record("files.fileExists " + std::string(path));
        auto it = answers_.find(path);
        return it != answers_.end() ? it->second : inner_.fileExists(path);
    }
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override {
        record("files.moveItem " + from.path() + " -> " + to.path());
        if (beforeMove_)
            beforeMove_(from, to);
        return inner_.moveItem(from, to);
    }
    Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) override {
        record("files.createFileAtomically " + url.path());
        return inner_.createFileAtomically(url, contents);
    }
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) override {
        record("files.readPropertyListDictionary " + url.path());
        return inner_.readPropertyListDictionary(url);
    }
    void setExists(std::string path, bool exists) { answers_[std::move(path)] = exists; }
    void setBeforeMove(std::function<void(const FileURL& from, const FileURL& to)> step) {
        beforeMove_ = std::move(step);
    }

  private:
    PosixFileManager inner_;
    std::function<void(const FileURL&, const FileURL&)> beforeMove_;
    std::map<std::string, bool, std::less<>> answers_;
};

/// Bookmarks as a table from bookmark data to a folder or an error. Access is
/// granted unless refused for a path, and counted per path.
class FakeSecurityScope final : public SecurityScope, Recorder {
  public:
    using Recorder::Recorder;

    /// Unknown data fails with "The bookmark data is not valid."
    Expected<Resolved> resolveBookmark(std::string_view bookmarkData) override {
        record("security.resolveBookmark " + std::string(bookmarkData));
        auto it = bookmarks_.find(bookmarkData);
        if (it == bookmarks_.end())
            return makeError("The bookmark data is not valid.");
        return it->second;
    }
    bool startAccessing(const FileURL& url) override {
        record("security.startAccessing " + url.path());
        if (refused_.contains(url.path()))
            return false;
        ++accessCounts_[url.path()];
        return true;
    }
    /// Ends one counted access; never goes below zero.
    void stopAccessing(const FileURL& url) override {
        record("security.stopAccessing " + url.path());
        if (auto it = accessCounts_.find(url.path()); it != accessCounts_.end() && it->second > 0)
            --it->second;
    }

    /// `data` resolves to `url`, reported stale when `stale` is true.
    void addBookmark(std::string data, FileURL url, bool stale = false) {
        bookmarks_.insert_or_assign(std::move(data), Resolved{std::move(url), stale});
    }
    /// `data` fails to resolve with `description`.
    void addBrokenBookmark(std::string data, std::string description) {
        bookmarks_.insert_or_assign(std::move(data), makeError(std::move(description)));
    }
    /// `startAccessing` returns false for this path.
    void refuseAccess(std::string path) { refused_.insert(std::move(path)); }
    /// Granted starts minus stops for `url`'s path.
    int accessCount(const FileURL& url) const {
        auto it = accessCounts_.find(url.path());
        return it == accessCounts_.end() ? 0 : it->second;
    }

  private:
    std::map<std::string, Expected<Resolved>, std::less<>> bookmarks_;
    std::set<std::string> refused_;
    std::map<std::string, int> accessCounts_;
};

/// Records posts with their user info and keeps its observers; nothing is
/// delivered until a test calls `deliver`.
class FakeNotificationCenter final : public NotificationCenter, Recorder {
  public:
    using Recorder::Recorder;

    void post(std::string_view name, const PlistDictionary& userInfo) override {
        record("notifications.post " + std::string(name));
        posted_.push_back(Notification{std::string(name), userInfo});
    }
    ObserverId addObserver(std::string name, Handler handler) override {
        record("notifications.addObserver " + name);
        observers_.emplace(nextId_, std::pair{std::move(name), std::move(handler)});
        return nextId_++;
    }
    void removeObserver(ObserverId id) override {
        record("notifications.removeObserver");
        observers_.erase(id);
    }

    /// Calls the observers of `notification`'s name and those of every name,
    /// as a notification from another process would; returns how many.
    std::size_t deliver(const Notification& notification) {
        std::vector<Handler> matching;
        for (const auto& [id, observer] : observers_)
            if (observer.first.empty() || observer.first == notification.name)
                matching.push_back(observer.second);
        for (const Handler& handler : matching)
            handler(notification);
        return matching.size();
    }

    /// Every notification posted, in order.
    const std::vector<Notification>& posted() const { return posted_; }

  private:
    ObserverId nextId_ = 1;
    std::map<ObserverId, std::pair<std::string, Handler>> observers_;
    std::vector<Notification> posted_;
};

/// Keeps the timers it schedules, which fire only when a test calls
/// `fireTimers`; queued tasks wait until the test runs them.
class FakeScheduler final : public Scheduler, Recorder {
  public:
    using Recorder::Recorder;

    std::unique_ptr<Timer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                  std::function<void()> block) override {
        record("scheduler.scheduleRepeatingTimer " + std::to_string(interval.count()) + "ms");
        timers_.push_back(std::make_shared<std::function<void()>>(std::move(block)));
        return std::make_unique<FakeTimer>(timers_.back());
    }
    void postToMainQueue(std::function<void()> task) override {
        record("scheduler.postToMainQueue");
        queued_.push_back(std::move(task));
    }

    /// Runs the queued tasks in order, those they queue included; returns how many ran.
    int runQueuedTasks() {
        int ran = 0;
        for (; !queued_.empty(); ++ran) {
            std::function<void()> task = std::move(queued_.front());
            queued_.erase(queued_.begin());
            task();
        }
        return ran;
    }

    /// One tick of every timer still valid, in the order they were made;
    /// returns how many fired.
    std::size_t fireTimers() {
        std::erase_if(timers_, [](const auto& block) { return !*block; });
        const auto due = timers_; // a tick may make or drop timers
        std::size_t fired = 0;
        for (const auto& block : due) {
            // A copy runs, so a block that invalidates its own timer survives.
            if (std::function<void()> run = *block) {
                run();
                ++fired;
            }
        }
        return fired;
    }

  private:
    /// Stops firing when invalidated or destroyed, as every timer must.
    struct FakeTimer final : Timer {
        explicit FakeTimer(std::shared_ptr<std::function<void()>> block)
            : block(std::move(block)) {}
        ~FakeTimer() override { invalidate(); }
        void invalidate() override { *block = nullptr; }
        bool isValid() const override { return *block != nullptr; }
        std::shared_ptr<std::function<void()>> block;
    };
    std::vector<std::function<void()>> queued_;
    std::vector<std::shared_ptr<std::function<void()>>> timers_;
};

/// A controller whose target and selection the test sets (none at first),
/// and that keeps its directories.
class FakeFinderSyncController final : public FinderSyncController, Recorder {
  public:
    using Recorder::Recorder;

    std::optional<FileURL> targetedURL() const override {
        record("controller.targetedURL");
        return targeted_;
    }
    std::vector<FileURL> selectedItemURLs() const override {
        record("controller.selectedItemURLs");
        return selected_;
    }
    void setDirectoryURLs(std::set<FileURL> urls) override {
        std::string entry = "controller.setDirectoryURLs";
        for (const auto& url : urls)
            entry += " " + url.path();
        record(std::move(entry));
        directories_ = std::move(urls);
    }
    std::set<FileURL> directoryURLs() const override { return directories_; }

    void setTargetedURL(std::optional<FileURL> url) { targeted_ = std::move(url); }
    void setSelectedItemURLs(std::vector<FileURL> urls) { selected_ = std::move(urls); }

  private:
    std::optional<FileURL> targeted_;
    std::vector<FileURL> selected_;
    std::set<FileURL> directories_;
};

/// "00000000-0000-0000-0000-00000000000N", counting up.
class FakeUUIDSource final : public UUIDSource {
  public:
    std::string makeUUIDString() override {
        char buffer[37];
        std::snprintf(buffer, sizeof buffer, "00000000-0000-0000-0000-%012X", ++count_);
        return buffer;
    }

  private:
    int count_ = 0;
};

/// Records reveals and open requests. An open request completes only when
/// the test says so, with the outcome set for it when it was made.
class FakeWorkspace final : public Workspace, Recorder {
  public:
    using Recorder::Recorder;

    void selectFile(std::string_view filePath, std::string_view rootPath) override {
        record("workspace.selectFile " + std::string(filePath) + " in " + std::string(rootPath));
    }
    /// Recorded as "workspace.openURLs <application> <url>...".
    void openURLs(const std::vector<FileURL>& urls, const FileURL& application,
                  OpenCompletion completion) override {
        std::string entry = "workspace.openURLs " + application.path();
        for (const FileURL& url : urls)
            entry += " " + url.path();
        record(std::move(entry));
        if (completion)
            pending_.emplace_back(std::move(completion), nextOutcome_);
        nextOutcome_ = {};
    }

    /// The next open request fails with `description`.
    void failNextOpen(std::string description) { nextOutcome_ = makeError(std::move(description)); }
    /// Calls the completions of the requests made so far, each once, in
    /// order; returns how many were called.
    int completePendingOpens() {
        auto pending = std::exchange(pending_, {});
        for (auto& [completion, outcome] : pending)
            completion(outcome);
        return static_cast<int>(pending.size());
    }

  private:
    std::vector<std::pair<OpenCompletion, Expected<void>>> pending_;
    Expected<void> nextOutcome_;
};

/// Holds its text in memory and records each call.
class FakePasteboard final : public Pasteboard, Recorder {
  public:
    using Recorder::Recorder;

    Expected<void> clearContents() override {
        record("pasteboard.clearContents");
        contents_.clear();
        return {};
    }
    Expected<void> setString(std::string_view text) override {
        record("pasteboard.setString " + std::string(text));
        contents_ = std::string(text);
        return {};
    }
    Expected<std::string> string() override { return contents_; }

  private:
    std::string contents_;
};

/// Records each alert shown.
class FakeAlertPresenter final : public AlertPresenter, Recorder {
  public:
    using Recorder::Recorder;

    void runModal(const Alert& alert) override {
        record("alerts.runModal " + alert.messageText);
        shown_.push_back(alert);
    }
    const std::vector<Alert>& shown() const { return shown_; }

  private:
    std::vector<Alert> shown_;
};

} // namespace corvane::fakes
