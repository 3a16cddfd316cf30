#include "engine/WorkPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// While a core is kept, a pool of two threads runs one task at a time and
// still runs every task, however many cores are kept; once they are given
// back, both threads take tasks again.
TEST(WorkPool, AKeptCoreHoldsOneThreadBackAndEveryTaskStillRuns)
{
    engine::CWorkPool pool(2);
    std::atomic<int> running{0}, most{0}, done{0};
    const auto task = [&](std::size_t) {
        const int now = ++running;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        --running;
        ++done;
    };
    {
        const engine::CWorkPool::CKeptCore kept(pool);
        const engine::CWorkPool::CKeptCore more(pool);
        engine::RunBlocks(8, task, {}, pool);
    }
    EXPECT_EQ(done, 8);
    EXPECT_EQ(most, 1);

    // Two tasks that each wait (a while at most) to see the other running.
    std::atomic<int> arrived{0};
    std::atomic<int> together{0};
    engine::RunBlocks(
        2,
        [&](std::size_t) {
            ++arrived;
            const auto until = Clock::now() + std::chrono::seconds(5);
            while (arrived < 2 && Clock::now() < until)
                std::this_thread::yield();
            together += arrived == 2;
        },
        {}, pool);
    EXPECT_EQ(together, 2);
}

}  // namespace
