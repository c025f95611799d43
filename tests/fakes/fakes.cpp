#include "tests/fakes/fakes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace corvane::fakes {

namespace {

void record(CallLog* calls, std::string entry) {
    if (calls)
        calls->push_back(std::move(entry));
}

} // namespace

// --- TemporaryDirectory

TemporaryDirectory::TemporaryDirectory() {
    auto pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    // Resolve links (such as a linked /tmp) so paths compare equal to what
    // the file system reports.
    url_ = FileURL::fromPath(std::filesystem::canonical(pattern).string());
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(url_.path(), ignored);
}

FileURL TemporaryDirectory::makeFolder(std::string_view relative) const {
    FileURL folder = url_.appending(relative);
    std::filesystem::create_directories(folder.path());
    return folder;
}

FileURL TemporaryDirectory::writeFile(std::string_view relative, std::string_view contents) const {
    FileURL file = url_.appending(relative);
    std::filesystem::create_directories(file.parent().path());
    std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.path());
    return file;
}

// --- FakeSettingsProvider

class FakeSettingsSuite final : public SettingsSuite {
  public:
    FakeSettingsSuite(FakeSettingsProvider& owner, std::string name)
        : owner_(owner), name_(std::move(name)), snapshot_(owner.store(name_)) {}

    std::optional<PlistValue> objectForKey(std::string_view key) const override {
        record(owner_.calls_, "settings.objectForKey " + std::string(key));
        if (const PlistValue* value = snapshot_.find(key))
            return *value;
        return std::nullopt;
    }

    Expected<void> setObject(const PlistValue& value, std::string_view key) override {
        record(owner_.calls_, "settings.setObject " + std::string(key));
        if (owner_.writeFailure_)
            return std::unexpected(*owner_.writeFailure_);
        owner_.store(name_).set(std::string(key), value);
        snapshot_.set(std::string(key), value);
        ++owner_.writeCount_;
        return {};
    }

    Expected<void> removeObject(std::string_view key) override {
        record(owner_.calls_, "settings.removeObject " + std::string(key));
        if (owner_.writeFailure_)
            return std::unexpected(*owner_.writeFailure_);
        owner_.store(name_).remove(key);
        snapshot_.remove(key);
        ++owner_.writeCount_;
        return {};
    }

    bool synchronize() override {
        record(owner_.calls_, "settings.synchronize");
        ++owner_.synchronizeCount_;
        if (!owner_.synchronizeSucceeds_)
            return false;
        snapshot_ = owner_.store(name_);
        return true;
    }

  private:
    FakeSettingsProvider& owner_;
    std::string name_;
    PlistDictionary snapshot_;
};

std::unique_ptr<SettingsSuite> FakeSettingsProvider::openSuite(std::string_view suiteName) {
    record(calls_, "settings.openSuite " + std::string(suiteName));
    ++openCount_;
    if (!available_)
        return nullptr;
    return std::make_unique<FakeSettingsSuite>(*this, std::string(suiteName));
}

PlistDictionary& FakeSettingsProvider::store(std::string_view name) {
    auto it = stores_.find(name);
    if (it == stores_.end())
        it = stores_.emplace(std::string(name), PlistDictionary{}).first;
    return it->second;
}

void FakeSettingsProvider::setValue(std::string_view suite, std::string key, PlistValue value) {
    store(suite).set(std::move(key), std::move(value));
}

std::optional<PlistValue> FakeSettingsProvider::value(std::string_view suite,
                                                      std::string_view key) const {
    auto it = stores_.find(suite);
    if (it == stores_.end())
        return std::nullopt;
    if (const PlistValue* found = it->second.find(key))
        return *found;
    return std::nullopt;
}

// --- FakeAppGroupContainers

std::optional<FileURL> FakeAppGroupContainers::containerURL(std::string_view groupId) {
    record(calls_, "containers.containerURL " + std::string(groupId));
    requestedGroupIds_.emplace_back(groupId);
    return folder_;
}

// --- RecordingFileManager

bool RecordingFileManager::fileExists(std::string_view path) {
    record(calls_, "files.fileExists " + std::string(path));
    existenceChecks_.emplace_back(path);
    return inner_.fileExists(path);
}

Expected<void> RecordingFileManager::moveItem(const FileURL& from, const FileURL& to) {
    record(calls_, "files.moveItem " + from.path() + " -> " + to.path());
    if (moveFailure_)
        return std::unexpected(*moveFailure_);
    return inner_.moveItem(from, to);
}

Expected<void> RecordingFileManager::createFileAtomically(const FileURL& url,
                                                          std::string_view contents) {
    record(calls_, "files.createFileAtomically " + url.path());
    if (createFailure_)
        return std::unexpected(*createFailure_);
    return inner_.createFileAtomically(url, contents);
}

std::optional<PlistDictionary>
RecordingFileManager::readPropertyListDictionary(const FileURL& url) {
    record(calls_, "files.readPropertyListDictionary " + url.path());
    ++readCount_;
    return inner_.readPropertyListDictionary(url);
}

// --- FakeSecurityScope

Expected<SecurityScope::Resolved>
FakeSecurityScope::resolveBookmark(std::string_view bookmarkData) {
    record(calls_, "security.resolveBookmark " + std::string(bookmarkData));
    ++resolveCount_;
    auto it = bookmarks_.find(bookmarkData);
    if (it == bookmarks_.end())
        return makeError("The bookmark data is not valid.");
    return it->second;
}

bool FakeSecurityScope::startAccessing(const FileURL& url) {
    record(calls_, "security.startAccessing " + url.path());
    if (refused_.contains(url.path())) {
        events_.push_back("start-refused " + url.path());
        return false;
    }
    events_.push_back("start " + url.path());
    ++open_[url.path()];
    return true;
}

void FakeSecurityScope::stopAccessing(const FileURL& url) {
    record(calls_, "security.stopAccessing " + url.path());
    events_.push_back("stop " + url.path());
    --open_[url.path()];
}

void FakeSecurityScope::addBookmark(std::string data, FileURL url, bool stale) {
    bookmarks_.insert_or_assign(std::move(data), Resolved{std::move(url), stale});
}

void FakeSecurityScope::addBrokenBookmark(std::string data, std::string description) {
    bookmarks_.insert_or_assign(std::move(data), makeError(std::move(description)));
}

int FakeSecurityScope::openAccessCount(std::string_view path) const {
    auto it = open_.find(path);
    return it == open_.end() ? 0 : it->second;
}

int FakeSecurityScope::totalOpenAccess() const {
    int total = 0;
    for (const auto& [path, count] : open_)
        total += count;
    return total;
}

// --- FakeNotificationCenter

void FakeNotificationCenter::post(std::string_view name, const PlistDictionary& userInfo) {
    record(calls_, "notifications.post " + std::string(name));
    posted_.push_back(Notification{std::string(name), userInfo});
}

NotificationCenter::ObserverId FakeNotificationCenter::addObserver(std::string name,
                                                                   Handler handler) {
    record(calls_, "notifications.addObserver " + name);
    ObserverId id = nextId_++;
    observers_.emplace(id, std::pair{std::move(name), std::move(handler)});
    return id;
}

void FakeNotificationCenter::removeObserver(ObserverId id) {
    record(calls_, "notifications.removeObserver");
    observers_.erase(id);
}

int FakeNotificationCenter::deliver(const Notification& notification) {
    // Copy first: a handler may add or remove observers.
    std::vector<Handler> matching;
    for (const auto& [id, observer] : observers_) {
        if (observer.first.empty() || observer.first == notification.name)
            matching.push_back(observer.second);
    }
    for (const auto& handler : matching)
        handler(notification);
    return static_cast<int>(matching.size());
}

int FakeNotificationCenter::observerCount(std::string_view name) const {
    int count = 0;
    for (const auto& [id, observer] : observers_) {
        if (observer.first == name)
            ++count;
    }
    return count;
}

// --- FakeScheduler

namespace {

class FakeTimer final : public Timer {
  public:
    explicit FakeTimer(std::shared_ptr<FakeScheduler::TimerState> state)
        : state_(std::move(state)) {}
    ~FakeTimer() override { state_->valid = false; }
    void invalidate() override { state_->valid = false; }
    bool isValid() const override { return state_->valid; }

  private:
    std::shared_ptr<FakeScheduler::TimerState> state_;
};

} // namespace

std::unique_ptr<Timer> FakeScheduler::scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                             std::function<void()> block) {
    record(calls_, "scheduler.scheduleRepeatingTimer " + std::to_string(interval.count()) + "ms");
    auto state = std::make_shared<TimerState>(TimerState{interval, std::move(block), true});
    timers_.push_back(state);
    return std::make_unique<FakeTimer>(std::move(state));
}

void FakeScheduler::postToMainQueue(std::function<void()> task) {
    record(calls_, "scheduler.postToMainQueue");
    tasks_.push_back(std::move(task));
}

int FakeScheduler::fireTimers() {
    int fired = 0;
    // Index loop: a block may schedule another timer.
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        auto state = timers_[i];
        if (!state->valid)
            continue;
        state->block();
        ++fired;
    }
    return fired;
}

int FakeScheduler::runQueuedTasks() {
    int ran = 0;
    while (!tasks_.empty()) {
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        task();
        ++ran;
    }
    return ran;
}

int FakeScheduler::validTimerCount() const {
    int count = 0;
    for (const auto& state : timers_) {
        if (state->valid)
            ++count;
    }
    return count;
}

std::chrono::milliseconds FakeScheduler::timerInterval(std::size_t index) const {
    return timers_.at(index)->interval;
}

// --- FakeFinderSyncController

void FakeFinderSyncController::setDirectoryURLs(std::set<FileURL> urls) {
    std::string entry = "controller.setDirectoryURLs";
    for (const auto& url : urls)
        entry += " " + url.path();
    record(calls_, std::move(entry));
    ++setDirectoryCount_;
    directories_ = std::move(urls);
}

// --- FakeUUIDSource

std::string FakeUUIDSource::makeUUIDString() {
    ++callCount_;
    if (!queued_.empty()) {
        std::string next = std::move(queued_.front());
        queued_.pop_front();
        return next;
    }
    char buffer[37];
    std::snprintf(buffer, sizeof buffer, "00000000-0000-0000-0000-%012X", callCount_);
    return buffer;
}

// --- FakeSystemImages

std::optional<MenuImage>
FakeSystemImages::systemSymbolImage(std::string_view symbolName,
                                    std::string_view accessibilityDescription) {
    requests_.emplace_back(symbolName, accessibilityDescription);
    if (!known_.contains(symbolName))
        return std::nullopt;
    MenuImage image;
    image.symbolName = std::string(symbolName);
    image.iconName = "icon:" + std::string(symbolName);
    image.accessibilityDescription = std::string(accessibilityDescription);
    return image;
}

// --- helpers

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace corvane::fakes
