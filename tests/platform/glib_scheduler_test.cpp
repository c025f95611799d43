#include "platform/linux/glib_scheduler.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::runLoopUntil;

enum class StopBy { InvalidateInBlock, DestroyInBlock, InvalidateOutside };

TEST(GlibScheduler, TimersFireThroughFailingBlocksUntilStoppedAndTasksRunInOrderOnTheLoop) {
    for (StopBy stop :
         {StopBy::InvalidateInBlock, StopBy::DestroyInBlock, StopBy::InvalidateOutside}) {
        GlibScheduler scheduler;
        int fired = 0;
        std::unique_ptr<Timer> timer = scheduler.scheduleRepeatingTimer(2ms, [&] {
            if (++fired < 3)
                throw std::runtime_error("a failing block keeps its timer");
            if (stop == StopBy::InvalidateInBlock)
                timer->invalidate();
            else if (stop == StopBy::DestroyInBlock)
                timer.reset();
        });
        ASSERT_TRUE(runLoopUntil([&] { return fired >= 3; }, 5s));
        if (stop == StopBy::InvalidateOutside)
            timer->invalidate();
        runLoopUntil([] { return false; }, 30ms);
        EXPECT_EQ(fired, 3) << static_cast<int>(stop);
        EXPECT_TRUE(!timer || !timer->isValid());
    }

    // Posted from another thread, tasks run in order on the loop's thread,
    // and those still queued are dropped with the scheduler.
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> offThread{false};
    {
        GlibScheduler scheduler;
        std::thread([&] {
            for (int i = 0; i < 50; ++i)
                scheduler.postToMainQueue([&, i] {
                    offThread = offThread || std::this_thread::get_id() != loopThread;
                    order.push_back(i);
                });
        }).join();
        EXPECT_TRUE(order.empty()) << "a task ran before the loop was iterated";
        ASSERT_TRUE(runLoopUntil([&] { return order.size() == 50; }, 5s));
        scheduler.postToMainQueue([&] { order.push_back(-1); });
    }
    runLoopUntil([] { return false; }, 20ms);
    std::vector<int> expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(offThread);
}

} // namespace
} // namespace corvane
