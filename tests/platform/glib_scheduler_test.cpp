#include "platform/linux/glib_scheduler.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using namespace std::chrono_literals;

// Iterates the default main context until `done` holds or `timeout` passes.
template <typename Predicate> bool runLoopUntil(Predicate done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void runLoopFor(std::chrono::milliseconds duration) {
    runLoopUntil([] { return false; }, duration);
}

enum class StopBy { Invalidate, Destroy };

class TimerStopsFromItsOwnBlock : public ::testing::TestWithParam<StopBy> {};

TEST_P(TimerStopsFromItsOwnBlock, FiresRepeatedlyUntilStopped) {
    GlibScheduler scheduler;
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = scheduler.scheduleRepeatingTimer(2ms, [&] {
        if (++fired < 3)
            return;
        if (GetParam() == StopBy::Invalidate)
            timer->invalidate();
        else
            timer.reset();
    });
    ASSERT_TRUE(runLoopUntil([&] { return fired >= 3; }, 5s));
    runLoopFor(30ms);
    EXPECT_EQ(fired, 3);
    if (timer) {
        EXPECT_FALSE(timer->isValid());
    }
}

INSTANTIATE_TEST_SUITE_P(Scheduler, TimerStopsFromItsOwnBlock,
                         ::testing::Values(StopBy::Invalidate, StopBy::Destroy));

TEST(GlibSchedulerTest, TimerInvalidatedFromOutsideStopsAndThrowingBlocksKeepFiring) {
    GlibScheduler scheduler;
    int fired = 0;
    auto timer = scheduler.scheduleRepeatingTimer(2ms, [&] {
        ++fired;
        throw std::runtime_error("block failed");
    });
    EXPECT_TRUE(timer->isValid());
    ASSERT_TRUE(runLoopUntil([&] { return fired >= 3; }, 5s));
    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    int atStop = fired;
    runLoopFor(30ms);
    EXPECT_EQ(fired, atStop);
}

TEST(GlibSchedulerTest, TasksPostedFromAnotherThreadRunOnTheLoopThreadInOrder) {
    GlibScheduler scheduler;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> offThread{false};
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i)
            scheduler.postToMainQueue([&, i] {
                if (std::this_thread::get_id() != loopThread)
                    offThread = true;
                order.push_back(i);
            });
    });
    poster.join();
    EXPECT_TRUE(order.empty()) << "a task ran before the loop was iterated";
    ASSERT_TRUE(runLoopUntil([&] { return order.size() == 50; }, 5s));
    EXPECT_FALSE(offThread);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(GlibSchedulerTest, PendingTasksAreDroppedWithTheScheduler) {
    bool ran = false;
    {
        GlibScheduler scheduler;
        scheduler.postToMainQueue([&] { ran = true; });
    }
    runLoopFor(20ms);
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace corvane
