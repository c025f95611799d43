#pragma once

#include "platform/scheduler.h"

#include <memory>

namespace corvane {

/// The scheduler on the default GLib main context: timers and queued tasks
/// run on the thread that iterates that context (the host's main loop).
/// An exception thrown by a timer block or a task is caught and dropped.
class GlibScheduler final : public Scheduler {
  public:
    GlibScheduler();
    /// Drops the tasks that have not run yet. Timers live on until their
    /// `Timer` objects are invalidated or destroyed.
    ~GlibScheduler() override;

    GlibScheduler(const GlibScheduler&) = delete;
    GlibScheduler& operator=(const GlibScheduler&) = delete;

    /// Fires `block` every `interval` (at least once per loop iteration for
    /// a zero interval) until the timer is invalidated or destroyed; the block
    /// may invalidate or destroy its own timer.
    std::unique_ptr<Timer> scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                  std::function<void()> block) override;
    /// Queues `task` behind the work already pending on the main context;
    /// tasks run in the order they were queued. Safe from any thread.
    void postToMainQueue(std::function<void()> task) override;

  private:
    struct PendingTasks;
    std::shared_ptr<PendingTasks> pending_;
};

} // namespace corvane
