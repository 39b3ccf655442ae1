#include "pipeline/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace qm {
namespace {

using namespace std::chrono_literals;

TEST(SyncTest, SemaphoreWaitEndsOnCountOrInterruptingEvent) {
    Semaphore semaphore(0, 4);
    Event stop(false, false);

    // Interrupted: nothing in the count, the event is set from elsewhere.
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = static_cast<int>(semaphore.Acquire(&stop)); });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(result.load(), -1) << "the wait must block while neither is available";
    stop.Set();
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<int>(Semaphore::WaitResult::Interrupted));
    EXPECT_FALSE(stop.IsSet()) << "an auto-reset event is consumed by the wait it ended";

    // Both available: the count wins and the event stays set.
    ASSERT_TRUE(semaphore.Release(1));
    stop.Set();
    EXPECT_EQ(semaphore.Acquire(&stop), Semaphore::WaitResult::Acquired);
    EXPECT_TRUE(stop.IsSet());
    EXPECT_EQ(semaphore.Acquire(&stop), Semaphore::WaitResult::Interrupted);

    // A release wakes a waiter that also watches an event.
    std::thread taker([&] { result = static_cast<int>(semaphore.Acquire(&stop)); });
    std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(semaphore.Release(1));
    taker.join();
    EXPECT_EQ(result.load(), static_cast<int>(Semaphore::WaitResult::Acquired));
    EXPECT_EQ(semaphore.GetCount(), 0u);
}

TEST(SyncTest, SemaphoreRespectsItsMaximum) {
    Semaphore semaphore(2, 3);
    EXPECT_FALSE(semaphore.Release(2));
    EXPECT_EQ(semaphore.GetCount(), 2u);
    EXPECT_TRUE(semaphore.Release(1));
    EXPECT_FALSE(semaphore.Release(1));
    EXPECT_TRUE(semaphore.TryAcquire());
    EXPECT_TRUE(semaphore.TryAcquire());
    EXPECT_TRUE(semaphore.TryAcquire());
    EXPECT_FALSE(semaphore.TryAcquire());
    // An initial count above the maximum is clipped to it.
    EXPECT_EQ(Semaphore(9, 5).GetCount(), 5u);
}

TEST(SyncTest, EventWaitHonoursTimeOutAndResetMode) {
    Event autoEvent(false, false);
    EXPECT_FALSE(autoEvent.Wait(0));
    EXPECT_FALSE(autoEvent.Wait(5));
    autoEvent.Set();
    EXPECT_TRUE(autoEvent.Wait(0));
    EXPECT_FALSE(autoEvent.Wait(0)) << "auto-reset: one wait consumes it";

    Event manual(true, true);
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(QM_INFINITE)) << "manual-reset: stays set";
    manual.Reset();
    EXPECT_FALSE(manual.Wait(0));

    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        manual.Set();
    });
    EXPECT_TRUE(manual.Wait(QM_INFINITE));
    setter.join();
}

// The one who waits for an event may destroy it as soon as the wait returns
// (a read-ahead is ended so): the setter must be done with it by then. Under
// the thread sanitizer an event still being touched shows as a race; without
// it, as a crash or a hang now and then.
TEST(SyncTest, AnEventMayGoAsSoonAsItsWaiterWakes) {
    for (int i = 0; i < 3000; ++i) {
        auto event = std::make_unique<Event>(true, false);
        std::atomic<bool> setting{false};
        std::thread setter([&setting, &target = *event] {
            setting.store(true, std::memory_order_release);
            target.Set();
        });
        // The wait starts about when the event is set.
        while (!setting.load(std::memory_order_acquire)) std::this_thread::yield();
        ASSERT_TRUE(event->Wait(10000));
        event.reset();
        setter.join();
    }
}

TEST(SyncTest, ManyInterruptedWaitsLoseNoWakeUp) {
    // Races the event against the wait's registration many times; a lost
    // wake-up shows as a hang (the test's time limit) rather than a failure.
    Semaphore semaphore(0, 1);
    for (int i = 0; i < 2000; ++i) {
        Event stop(false, false);
        std::thread setter([&] { stop.Set(); });
        EXPECT_EQ(semaphore.Acquire(&stop), Semaphore::WaitResult::Interrupted);
        setter.join();
    }
}

}  // namespace
}  // namespace qm
