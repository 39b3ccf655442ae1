#include "pipeline/work_share.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace qm {
namespace {

// Every index is done exactly once, piece after piece, and what the helpers
// wrote is there when ForEach returns (the counters are plain, so a missing
// hand-over shows under the thread sanitizer too).
TEST(WorkShareTest, EveryIndexOnceInEveryPiece) {
    CQmWorkShare share(2);
    for (const size_t count : {size_t{0}, size_t{5}, 2 * CQmWorkShare::kChunk, size_t{10007}}) {
        std::vector<int> done(count, 0);
        std::mutex lock;
        std::set<std::thread::id> threads;
        share.ForEach(count, [&](size_t i) {
            ++done[i];
            std::lock_guard guard(lock);
            threads.insert(std::this_thread::get_id());
        });
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(done[i], 1) << "index " << i << " of " << count;
        if (count < 2 * CQmWorkShare::kChunk) {
            EXPECT_LE(threads.size(), 1u) << "a small piece stays on the calling thread";
        }
    }
    EXPECT_EQ(share.GetHelperCount(), 2u);
}

// Without helpers everything runs on the caller, and posted tasks are
// dropped: the owner does that work itself when it needs it.
TEST(WorkShareTest, WithoutHelpersTheCallerDoesItAll) {
    CQmWorkShare share(0);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    share.ForEach(1000, [&](size_t) {
        if (std::this_thread::get_id() != caller) ++elsewhere;
    });
    EXPECT_EQ(elsewhere.load(), 0);
    bool ran = false;
    share.Post([&] { ran = true; });
    EXPECT_EQ(share.GetHelperCount(), 0u);
    EXPECT_FALSE(ran);
}

// Posted tasks run on the helpers. A piece offered while every helper is
// busy with a task is done by the caller alone rather than waited for.
TEST(WorkShareTest, TasksRunAndABusyHelperDoesNotHoldUpAPiece) {
    CQmWorkShare share(1);
    std::mutex lock;
    std::condition_variable changed;
    bool started = false, release = false, finished = false;
    share.Post([&] {
        std::unique_lock guard(lock);
        started = true;
        changed.notify_all();
        changed.wait(guard, [&] { return release; });
        finished = true;
        changed.notify_all();
    });
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return started; }));
    }
    std::vector<int> done(1000, 0);
    share.ForEach(done.size(), [&](size_t i) { ++done[i]; });
    for (int d : done) ASSERT_EQ(d, 1);

    std::unique_lock guard(lock);
    release = true;
    changed.notify_all();
    EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(10), [&] { return finished; }));
}

}  // namespace
}  // namespace qm
