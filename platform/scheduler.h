#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace corvane {

/// A repeating timer; it stops firing once invalidated or destroyed.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

/// The main loop: repeating timers and tasks queued to run later on its thread.
class Scheduler {
  public:
    virtual ~Scheduler() = default;
    virtual std::unique_ptr<Timer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                          std::function<void()> block) = 0;
    /// Runs `task` on the main loop's thread after the current work; safe to
    /// call from any thread.
    virtual void postToMainQueue(std::function<void()> task) = 0;
};

} // namespace corvane
