#include "platform/linux/glib_scheduler.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::runLoopUntil;

void runLoopFor(std::chrono::milliseconds duration) {
    runLoopUntil([] { return false; }, duration);
}

enum class StopBy { InvalidateInBlock, DestroyInBlock, InvalidateOutside };

class RepeatingTimer : public ::testing::TestWithParam<StopBy> {};

TEST_P(RepeatingTimer, FiresThroughFailingBlocksUntilStopped) {
    GlibScheduler scheduler;
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = scheduler.scheduleRepeatingTimer(2ms, [&] {
        if (++fired < 3)
            throw std::runtime_error("a failing block keeps its timer");
        if (GetParam() == StopBy::InvalidateInBlock)
            timer->invalidate();
        else if (GetParam() == StopBy::DestroyInBlock)
            timer.reset();
    });
    ASSERT_TRUE(runLoopUntil([&] { return fired >= 3; }, 5s));
    if (GetParam() == StopBy::InvalidateOutside)
        timer->invalidate();
    int atStop = fired;
    runLoopFor(30ms);
    EXPECT_EQ(fired, atStop);
    EXPECT_TRUE(!timer || !timer->isValid());
}

INSTANTIATE_TEST_SUITE_P(Scheduler, RepeatingTimer,
                         ::testing::Values(StopBy::InvalidateInBlock, StopBy::DestroyInBlock,
                                           StopBy::InvalidateOutside));

TEST(GlibSchedulerTest, TasksPostedFromAnotherThreadRunOnTheLoopThreadInOrder) {
    GlibScheduler scheduler;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> offThread{false};
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i)
            scheduler.postToMainQueue([&, i] {
                offThread = offThread || std::this_thread::get_id() != loopThread;
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
