#include "platform/linux/glib_scheduler.h"

#include <glib.h>

#include <algorithm>
#include <exception>
#include <limits>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace corvane {

namespace {

struct TimerState {
    std::function<void()> block;
    GSource* source = nullptr;
    bool valid = true;
};

class GlibTimer final : public Timer {
  public:
    explicit GlibTimer(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
    ~GlibTimer() override { invalidate(); }

    void invalidate() override {
        if (!state_->valid)
            return;
        state_->valid = false;
        // Destroying a source from inside its own dispatch is allowed; the
        // running callback keeps its own reference to the state.
        g_source_destroy(state_->source);
        g_source_unref(state_->source);
        state_->source = nullptr;
    }
    bool isValid() const override { return state_->valid; }

  private:
    std::shared_ptr<TimerState> state_;
};

gboolean fireTimer(gpointer data) {
    // A copy, so the state outlives a block that destroys its own timer.
    std::shared_ptr<TimerState> state = *static_cast<std::shared_ptr<TimerState>*>(data);
    if (!state->valid)
        return G_SOURCE_REMOVE;
    try {
        state->block();
    } catch (...) {
        // A failing block must not take the main loop down with it.
    }
    return state->valid ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void deleteTimerRef(gpointer data) {
    delete static_cast<std::shared_ptr<TimerState>*>(data);
}

} // namespace

// Tasks queued but not yet run, so that the destructor can drop them. Shared
// with every queued task, because a task may finish after the scheduler is gone.
struct GlibScheduler::PendingTasks {
    std::mutex mutex;
    std::unordered_set<GSource*> sources;
};

namespace {

struct QueuedTask {
    std::function<void()> task;
    std::shared_ptr<void> pendingOwner; // keeps `pending` alive
    std::mutex* mutex;
    std::unordered_set<GSource*>* sources;
    GSource* source = nullptr;
};

gboolean runTask(gpointer data) {
    auto* queued = static_cast<QueuedTask*>(data);
    try {
        queued->task();
    } catch (...) {
        // Same as a timer: the loop goes on.
    }
    return G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) {
    auto* queued = static_cast<QueuedTask*>(data);
    {
        std::lock_guard lock(*queued->mutex);
        queued->sources->erase(queued->source);
    }
    delete queued;
}

} // namespace

GlibScheduler::GlibScheduler() : pending_(std::make_shared<PendingTasks>()) {}

GlibScheduler::~GlibScheduler() {
    std::vector<GSource*> sources;
    {
        std::lock_guard lock(pending_->mutex);
        for (GSource* source : pending_->sources)
            sources.push_back(g_source_ref(source));
    }
    for (GSource* source : sources) {
        g_source_destroy(source);
        g_source_unref(source);
    }
}

std::unique_ptr<Timer> GlibScheduler::scheduleRepeatingTimer(std::chrono::milliseconds interval,
                                                             std::function<void()> block) {
    auto state = std::make_shared<TimerState>();
    state->block = std::move(block);
    auto ms = static_cast<guint>(std::clamp<std::chrono::milliseconds::rep>(
        interval.count(), 0, std::numeric_limits<guint>::max()));
    state->source = g_timeout_source_new(ms);
    g_source_set_callback(state->source, fireTimer, new std::shared_ptr<TimerState>(state),
                          deleteTimerRef);
    g_source_attach(state->source, g_main_context_default());
    return std::make_unique<GlibTimer>(std::move(state));
}

void GlibScheduler::postToMainQueue(std::function<void()> task) {
    // An idle source attached to the default context wakes the loop from any
    // thread; MainContext::invoke would run the task at once on the calling
    // thread when the loop is not running yet.
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    auto* queued =
        new QueuedTask{std::move(task), pending_, &pending_->mutex, &pending_->sources, source};
    g_source_set_callback(source, runTask, queued, deleteTask);
    {
        // Attached under the lock, so a concurrent destructor sees it attached.
        std::lock_guard lock(pending_->mutex);
        pending_->sources.insert(source);
        g_source_attach(source, g_main_context_default());
    }
    g_source_unref(source);
}

} // namespace corvane
