#pragma once

// Stateful fakes of the platform services, with controls for tests. Every fake
// can append what it was asked to a shared `CallLog`, so a test can check the
// order of steps across services; each entry is "<service>.<operation>" with
// its argument after a blank where there is one, e.g.
// "settings.openSuite group.Brenvo.Corvane", "security.stopAccessing /a".

#include "platform/app_group.h"
#include "platform/file_manager.h"
#include "platform/finder_sync_controller.h"
#include "platform/notification_center.h"
#include "platform/scheduler.h"
#include "platform/security_scope.h"
#include "platform/settings.h"
#include "platform/system_images.h"
#include "platform/uuid.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::fakes {

/// What the fakes were asked, in order.
using CallLog = std::vector<std::string>;

/// A fresh folder under the system's temporary folder, removed with everything
/// in it when destroyed.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const FileURL& url() const { return url_; }
    const std::string& path() const { return url_.path(); }
    /// Creates the folder `relative` (and its parents) inside, and returns it.
    FileURL makeFolder(std::string_view relative) const;
    /// Writes `contents` to the file `relative` inside (parents created), and returns it.
    FileURL writeFile(std::string_view relative, std::string_view contents) const;

  private:
    FileURL url_;
};

/// Settings suites held in memory, by name. Opening a suite takes a snapshot
/// of its store; `synchronize` refreshes it; writes go to both.
class FakeSettingsProvider final : public SettingsProvider {
  public:
    explicit FakeSettingsProvider(CallLog* calls = nullptr) : calls_(calls) {}

    std::unique_ptr<SettingsSuite> openSuite(std::string_view suiteName) override;

    /// While false, every `openSuite` returns none (still counted).
    void setAvailable(bool available) { available_ = available; }
    /// The backing store of the suite `name`, created empty on first use.
    PlistDictionary& store(std::string_view name);
    void setValue(std::string_view suite, std::string key, PlistValue value);
    /// The stored value, or none; does not count as a call.
    std::optional<PlistValue> value(std::string_view suite, std::string_view key) const;
    /// While set, `setObject` and `removeObject` fail with this error and change nothing.
    void setWriteFailure(std::optional<Error> error) { writeFailure_ = std::move(error); }
    /// While false, `synchronize` reports failure and keeps the old snapshot.
    void setSynchronizeSucceeds(bool succeeds) { synchronizeSucceeds_ = succeeds; }

    /// `openSuite` calls, available or not.
    int openCount() const { return openCount_; }
    int synchronizeCount() const { return synchronizeCount_; }
    /// Successful `setObject` and `removeObject` calls.
    int writeCount() const { return writeCount_; }

  private:
    friend class FakeSettingsSuite;
    CallLog* calls_;
    bool available_ = true;
    bool synchronizeSucceeds_ = true;
    std::optional<Error> writeFailure_;
    std::map<std::string, PlistDictionary, std::less<>> stores_;
    int openCount_ = 0;
    int synchronizeCount_ = 0;
    int writeCount_ = 0;
};

/// One App Group container folder for every group id, or none.
class FakeAppGroupContainers final : public AppGroupContainers {
  public:
    explicit FakeAppGroupContainers(std::optional<FileURL> folder = std::nullopt,
                                    CallLog* calls = nullptr)
        : folder_(std::move(folder)), calls_(calls) {}

    std::optional<FileURL> containerURL(std::string_view groupId) override;

    void setContainer(std::optional<FileURL> folder) { folder_ = std::move(folder); }
    const std::optional<FileURL>& container() const { return folder_; }
    int callCount() const { return static_cast<int>(requestedGroupIds_.size()); }
    const std::vector<std::string>& requestedGroupIds() const { return requestedGroupIds_; }

  private:
    std::optional<FileURL> folder_;
    CallLog* calls_;
    std::vector<std::string> requestedGroupIds_;
};

/// Forwards to a real file manager, records each call and can fail on request
/// (for faults that root cannot be kept from, such as a full disk).
class RecordingFileManager final : public FileManager {
  public:
    explicit RecordingFileManager(FileManager& inner, CallLog* calls = nullptr)
        : inner_(inner), calls_(calls) {}

    bool fileExists(std::string_view path) override;
    Expected<void> moveItem(const FileURL& from, const FileURL& to) override;
    Expected<void> createFileAtomically(const FileURL& url, std::string_view contents) override;
    std::optional<PlistDictionary> readPropertyListDictionary(const FileURL& url) override;

    /// While set, `moveItem` fails with this error without touching the files.
    void setMoveFailure(std::optional<Error> error) { moveFailure_ = std::move(error); }
    /// While set, `createFileAtomically` fails with this error without writing.
    void setCreateFailure(std::optional<Error> error) { createFailure_ = std::move(error); }
    /// Paths passed to `fileExists`, in order.
    const std::vector<std::string>& existenceChecks() const { return existenceChecks_; }
    int readCount() const { return readCount_; }

  private:
    FileManager& inner_;
    CallLog* calls_;
    std::optional<Error> moveFailure_;
    std::optional<Error> createFailure_;
    std::vector<std::string> existenceChecks_;
    int readCount_ = 0;
};

/// Bookmarks as a table from bookmark data to a folder or an error. Access is
/// granted unless refused for a path; every start and stop is recorded.
class FakeSecurityScope final : public SecurityScope {
  public:
    explicit FakeSecurityScope(CallLog* calls = nullptr) : calls_(calls) {}

    Expected<Resolved> resolveBookmark(std::string_view bookmarkData) override;
    bool startAccessing(const FileURL& url) override;
    void stopAccessing(const FileURL& url) override;

    /// `data` resolves to `url`, reported stale when `stale` is true.
    void addBookmark(std::string data, FileURL url, bool stale = false);
    /// `data` fails to resolve with `description`. Unknown data fails with
    /// "The bookmark data is not valid."
    void addBrokenBookmark(std::string data, std::string description);
    /// `startAccessing` returns false for this path.
    void refuseAccess(std::string path) { refused_.insert(std::move(path)); }

    /// "start /p" (granted), "start-refused /p" or "stop /p", in call order.
    const std::vector<std::string>& events() const { return events_; }
    /// Granted starts minus stops for `path`.
    int openAccessCount(std::string_view path) const;
    /// Granted starts minus stops over all paths.
    int totalOpenAccess() const;
    int resolveCount() const { return resolveCount_; }

  private:
    CallLog* calls_;
    std::map<std::string, Expected<Resolved>, std::less<>> bookmarks_;
    std::set<std::string, std::less<>> refused_;
    std::map<std::string, int, std::less<>> open_;
    std::vector<std::string> events_;
    int resolveCount_ = 0;
};

/// Records posts; delivers to observers only when the test calls `deliver`.
class FakeNotificationCenter final : public NotificationCenter {
  public:
    explicit FakeNotificationCenter(CallLog* calls = nullptr) : calls_(calls) {}

    void post(std::string_view name, const PlistDictionary& userInfo) override;
    ObserverId addObserver(std::string name, Handler handler) override;
    void removeObserver(ObserverId id) override;

    /// Calls every observer of `notification.name` (and every observer of
    /// all names); returns how many were called.
    int deliver(const Notification& notification);
    const std::vector<Notification>& posted() const { return posted_; }
    /// Observers currently registered for exactly `name`.
    int observerCount(std::string_view name) const;
    int totalObserverCount() const { return static_cast<int>(observers_.size()); }

  private:
    CallLog* calls_;
    std::vector<Notification> posted_;
    std::map<ObserverId, std::pair<std::string, Handler>> observers_;
    ObserverId nextId_ = 1;
};

/// Timers fired by hand and a main queue run by hand.
class FakeScheduler final : public Scheduler {
  public:
    explicit FakeScheduler(CallLog* calls = nullptr) : calls_(calls) {}

    std::unique_ptr<Timer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                  std::function<void()> block) override;
    void postToMainQueue(std::function<void()> task) override;

    /// Fires every timer that is still valid once, in scheduling order;
    /// returns how many fired.
    int fireTimers();
    /// Runs queued tasks, including those they queue, until none is left;
    /// returns how many ran.
    int runQueuedTasks();

    int scheduledTimerCount() const { return static_cast<int>(timers_.size()); }
    /// Timers neither invalidated nor destroyed.
    int validTimerCount() const;
    /// The interval of the `index`-th timer ever scheduled.
    std::chrono::milliseconds timerInterval(std::size_t index) const;
    std::size_t queuedTaskCount() const { return tasks_.size(); }

    struct TimerState {
        std::chrono::milliseconds interval;
        std::function<void()> block;
        bool valid = true;
    };

  private:
    CallLog* calls_;
    std::vector<std::shared_ptr<TimerState>> timers_;
    std::deque<std::function<void()>> tasks_;
};

/// A controller whose targeted folder and selection the test sets.
class FakeFinderSyncController final : public FinderSyncController {
  public:
    explicit FakeFinderSyncController(CallLog* calls = nullptr) : calls_(calls) {}

    std::optional<FileURL> targetedURL() const override { return targeted_; }
    std::vector<FileURL> selectedItemURLs() const override { return selected_; }
    void setDirectoryURLs(std::set<FileURL> urls) override;
    std::set<FileURL> directoryURLs() const override { return directories_; }

    void setTargetedURL(std::optional<FileURL> url) { targeted_ = std::move(url); }
    void setSelectedItemURLs(std::vector<FileURL> urls) { selected_ = std::move(urls); }
    int setDirectoryURLsCount() const { return setDirectoryCount_; }

  private:
    CallLog* calls_;
    std::optional<FileURL> targeted_;
    std::vector<FileURL> selected_;
    std::set<FileURL> directories_;
    int setDirectoryCount_ = 0;
};

/// UUIDs from a queue the test fills, then "00000000-0000-0000-0000-00000000000N"
/// counting up.
class FakeUUIDSource final : public UUIDSource {
  public:
    std::string makeUUIDString() override;

    void enqueue(std::string uuid) { queued_.push_back(std::move(uuid)); }
    int callCount() const { return callCount_; }

  private:
    std::deque<std::string> queued_;
    int callCount_ = 0;
};

/// Images for a fixed set of symbol names; the icon name is "icon:" + symbol.
class FakeSystemImages final : public SystemImages {
  public:
    explicit FakeSystemImages(std::set<std::string, std::less<>> knownSymbols = {})
        : known_(std::move(knownSymbols)) {}

    std::optional<MenuImage> systemSymbolImage(std::string_view symbolName,
                                               std::string_view accessibilityDescription) override;

    void addSymbol(std::string name) { known_.insert(std::move(name)); }
    /// Every (symbol, description) asked for, known or not, in order.
    const std::vector<std::pair<std::string, std::string>>& requests() const { return requests_; }

  private:
    std::set<std::string, std::less<>> known_;
    std::vector<std::pair<std::string, std::string>> requests_;
};

/// Splits text written to a log stream into its lines (without line feeds).
std::vector<std::string> splitLines(std::string_view text);

} // namespace corvane::fakes
