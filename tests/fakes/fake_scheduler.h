#pragma once

#include "platform/scheduler.h"
#include "tests/fakes/call_log.h"

#include <string>
#include <vector>

namespace corvane::fakes {

/// Keeps the timers it schedules, which fire only when a test calls
/// `fireTimers`; queued tasks wait until the test runs them.
class FakeScheduler final : public Scheduler, Recorder {
  public:
    using Recorder::Recorder;

    std::unique_ptr<Timer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                  std::function<void()> block) override {
        record("scheduler.scheduleRepeatingTimer " + std::to_string(interval.count()) + "ms");
        std::erase_if(timers_, [](const auto& block) { return !*block; });
        timers_.push_back(std::make_shared<std::function<void()>>(std::move(block)));
        return std::make_unique<FakeTimer>(timers_.back());
    }
    void postToMainQueue(std::function<void()> task) override {
        record("scheduler.postToMainQueue");
        queued_.push_back(std::move(task));
    }

    /// Runs the tasks queued so far, in order; returns how many ran.
    std::size_t runQueuedTasks() {
        auto queued = std::exchange(queued_, {});
        for (auto& task : queued)
            task();
        return queued.size();
    }
    /// One tick of every timer still valid, in the order they were made;
    /// returns how many fired.
    std::size_t fireTimers() {
        std::size_t fired = 0;
        for (const auto& block : std::vector(timers_)) { // a tick may make timers
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
        explicit FakeTimer(std::shared_ptr<std::function<void()>> block) : block(block) {}
        ~FakeTimer() override { invalidate(); }
        void invalidate() override { *block = nullptr; }
        bool isValid() const override { return *block != nullptr; }
        std::shared_ptr<std::function<void()>> block;
    };
    std::vector<std::function<void()>> queued_;
    std::vector<std::shared_ptr<std::function<void()>>> timers_;
};

} // namespace corvane::fakes
