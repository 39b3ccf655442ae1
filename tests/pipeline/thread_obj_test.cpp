#include "pipeline/thread_obj.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/error_record.h"
#include "pipeline/buffer_queue.h"
#include "pipeline/pipeline_test_util.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

// A body that returns a chosen value, optionally after setting an error text,
// optionally waiting for a release or a stop first.
class TestThread : public CQmThreadObj {
public:
    uint32_t Execute() override {
        runs.fetch_add(1);
        if (waitForStop) {
            // Blocks the way a queue wait does: only the stop event ends it,
            // the flag alone does not.
            StopEvent().Wait(QM_INFINITE);
        }
        if (!errorText.empty()) SetThreadErrorText(errorText);
        return result;
    }
    uint32_t result = 0;
    std::u16string errorText;
    bool waitForStop = false;
    std::atomic<int> runs{0};
};

TEST(ThreadObjTest, StopOfANeverStartedObjectSucceedsAndSetsTheFlag) {
    TestThread thread;
    EXPECT_FALSE(thread.IsStopRequested());
    EXPECT_TRUE(thread.Stop(false, 0, false));
    EXPECT_FALSE(thread.IsStopRequested());
    EXPECT_TRUE(thread.Stop(true, QM_INFINITE, false));
    EXPECT_TRUE(thread.IsStopRequested());
    EXPECT_TRUE(thread.RequestStop());
}

TEST(ThreadObjTest, SecondStartFailsUntilTheFirstThreadIsReleased) {
    TestThread other;
    ASSERT_TRUE(other.Start());
    // Even once the body has returned, the thread is held until Stop.
    while (!other.HasFinished()) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(other.Start());
    EXPECT_EQ(GetLastErrorText(), u"启动线程失败:上一个线程实例还未停止.");
    EXPECT_EQ(other.runs.load(), 1);

    EXPECT_TRUE(other.Stop(false, QM_INFINITE, false));
    EXPECT_FALSE(other.HasThread());
    ASSERT_TRUE(other.Start()) << "after Stop the object can be started again";
    EXPECT_TRUE(other.Stop(false, QM_INFINITE, false));
    EXPECT_EQ(other.runs.load(), 2);
}

TEST(ThreadObjTest, TimedOutStopKeepsTheThreadForALaterWait) {
    TestThread thread;
    thread.waitForStop = true;
    ASSERT_TRUE(thread.Start());
    // Only the flag: the body sleeps on the event, so it does not end.
    thread.RequestStop();
    EXPECT_FALSE(thread.Stop(false, 0, false));
    EXPECT_EQ(GetLastErrorText(), u"终止线程失败:等待线程退出超时.");
    EXPECT_TRUE(thread.HasThread());
    EXPECT_FALSE(thread.Stop(false, 20, true)) << "no forced end on this platform";
    EXPECT_TRUE(thread.HasThread());

    EXPECT_TRUE(thread.Stop(true, QM_INFINITE, false));
    EXPECT_FALSE(thread.HasThread());
    EXPECT_EQ(thread.GetThreadId(), 0u);
}

TEST(ThreadObjTest, EndMessageCarriesErrorStateAndResult) {
    test::RecordingTarget target;
    {
        TestThread thread;
        thread.result = 7;
        thread.SetNotify(&target, WMU_HASH_DONE);
        ASSERT_TRUE(thread.Start());
        const auto m = target.Next();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->message, WMU_HASH_DONE);
        EXPECT_EQ(m->wParam, 1u);
        EXPECT_EQ(m->lParam, 7);
        EXPECT_TRUE(thread.Stop(false, QM_INFINITE, false));
    }
    {
        TestThread thread;
        thread.result = 1;
        thread.errorText = u"读取失败";
        thread.SetNotify(&target, WMU_ENUM_DONE);
        ASSERT_TRUE(thread.Start());
        const auto m = target.Next();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->message, WMU_ENUM_DONE);
        EXPECT_EQ(m->wParam, 0u);
        EXPECT_EQ(m->lParam, 1);
        EXPECT_TRUE(thread.Stop(false, QM_INFINITE, false));
        EXPECT_EQ(thread.GetErrorText(), u"读取失败");
    }
    // No receiver, or no message id: nothing is posted.
    for (const bool noTarget : {true, false}) {
        TestThread thread;
        thread.SetNotify(noTarget ? nullptr : &target, noTarget ? WMU_HASH_DONE : 0);
        ASSERT_TRUE(thread.Start());
        EXPECT_TRUE(thread.Stop(false, QM_INFINITE, false));
        EXPECT_EQ(target.Pending(), 0u);
    }
}

TEST(ThreadObjTest, StopWakesABodyBlockedInAQueueWait) {
    CQmIoQueueMgr queues;
    ASSERT_TRUE(queues.CreateQueue(3, 0, 0));
    class Waiter : public CQmThreadObj {
    public:
        explicit Waiter(CQmIoQueueMgr& q) : queues(q) {}
        uint32_t Execute() override {
            got = queues.Get(3, &StopEvent());
            return IsStopRequested() ? 1 : 0;
        }
        CQmIoQueueMgr& queues;
        CQmIoBuffer* got = reinterpret_cast<CQmIoBuffer*>(1);
    } waiter(queues);
    test::RecordingTarget target;
    waiter.SetNotify(&target, WMU_ENUM_DONE);
    ASSERT_TRUE(waiter.Start());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(target.Pending(), 0u) << "the body must still be blocked";
    EXPECT_TRUE(waiter.Stop(true, QM_INFINITE, false));
    EXPECT_EQ(waiter.got, nullptr);
    const auto m = target.Next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->lParam, 1);
}

TEST(ThreadObjTest, StopBeforeTheBodyLooksIsNotLost) {
    // A stop requested right after Start must still end a waiting body:
    // Start clears the flag and event before the thread exists, never after.
    for (int i = 0; i < 200; ++i) {
        TestThread thread;
        thread.waitForStop = true;
        ASSERT_TRUE(thread.Start());
        EXPECT_TRUE(thread.Stop(true, QM_INFINITE, false));
    }
}

}  // namespace
}  // namespace qm
