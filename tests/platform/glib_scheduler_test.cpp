#include "platform/linux/glib_scheduler.h"
#include "tests/integration/process_harness.h"
#include "tests/platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::spinUntil;

enum class StopBy { Invalidate, Destroy };

TEST(GlibScheduler, TimersFireThroughFailingBlocksUntilStoppedAndTasksRunInOrderOnTheLoop) {
    for (StopBy stop : {StopBy::Invalidate, StopBy::Destroy}) {
        GlibScheduler scheduler;
        int fired = 0;
        std::unique_ptr<Timer> timer = scheduler.scheduleRepeatingTimer(2ms, [&] {
            if (++fired < 3)
                throw std::runtime_error("a failing block keeps its timer");
            stop == StopBy::Invalidate ? timer->invalidate() : timer.reset();
        });
        ASSERT_TRUE(spinUntil([&] { return fired >= 3; }, 5s));
        spinUntil([] { return false; }, 30ms);
        EXPECT_EQ(fired, 3) << static_cast<int>(stop);
        EXPECT_TRUE(!timer || !timer->isValid());
    }

    // Posted from another thread, tasks run in order once the loop runs (not
    // on the posting thread), and those still queued are dropped with the
    // scheduler.
    std::vector<int> order;
    {
        GlibScheduler scheduler;
        std::thread([&] {
            for (int i = 0; i < 50; ++i)
                scheduler.postToMainQueue([&, i] { order.push_back(i); });
        }).join();
        EXPECT_TRUE(order.empty()) << "a task ran before the loop was iterated";
        ASSERT_TRUE(spinUntil([&] { return order.size() == 50; }, 5s));
        scheduler.postToMainQueue([&] { order.push_back(-1); });
    }
    spinUntil([] { return false; }, 20ms);
    EXPECT_TRUE(order.size() == 50 && std::ranges::is_sorted(order));
}

} // namespace
} // namespace corvane
