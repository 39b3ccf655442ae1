#include "pipeline/buffer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "common/error_record.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kMiB = 0x100000;

TEST(BufferQueueTest, CreatedBuffersAreZeroedPageAlignedAndAtHome) {
    CQmIoQueueMgr queues;
    ASSERT_TRUE(queues.CreateQueue(0, 16, kMiB));
    ASSERT_TRUE(queues.CreateQueue(1, 0, 0));
    EXPECT_EQ(queues.GetQueueLength(0), 16u);
    EXPECT_EQ(queues.GetQueueLength(1), 0u);
    EXPECT_EQ(queues.GetBufferCount(), 16u);

    // x86-64 pages are 4 KiB (Windows hands out even 64 KiB-aligned blocks).
    constexpr uintptr_t page = 4096;
    for (int k = 0; k < 16; ++k) {
        CQmIoBuffer* b = queues.TryGet(0);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b->data) % page, 0u);
        EXPECT_EQ(reinterpret_cast<uint8_t*>(b), b->data + kMiB) << "header right after the data area";
        EXPECT_EQ(b->homeQueue, 0);
        EXPECT_EQ(b->currentQueue, 0);
        EXPECT_EQ(b->capacity, kMiB);
        EXPECT_EQ(b->endOfItem, 0);
        EXPECT_EQ(b->endOfStream, 0);
        EXPECT_EQ(b->remaining, 0u);
        EXPECT_EQ(b->item, nullptr);
        EXPECT_TRUE(std::all_of(b->data, b->data + kMiB, [](uint8_t c) { return c == 0; }));
        b->data[kMiB - 1] = 0xAB;  // the whole data area is writable
    }
    EXPECT_EQ(queues.TryGet(0), nullptr);

    // An odd capacity still gets an aligned header.
    ASSERT_TRUE(queues.CreateQueue(5, 1, 3));
    CQmIoBuffer* odd = queues.TryGet(5);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(odd) % alignof(CQmIoBuffer), 0u);
    EXPECT_GE(reinterpret_cast<uint8_t*>(odd), odd->data + 3);
}

TEST(BufferQueueTest, QueuesAreFifoAndPutHomeClearsOnlyTheRecordMarks) {
    CQmIoQueueMgr queues;
    ASSERT_TRUE(queues.CreateQueue(0, 3, 4096));
    ASSERT_TRUE(queues.CreateQueue(1, 0, 0));
    CQmIoBuffer* a = queues.Get(0);
    CQmIoBuffer* b = queues.Get(0);
    CQmIoBuffer* c = queues.Get(0);
    ASSERT_TRUE(a && b && c);
    auto* fakeItem = reinterpret_cast<CQmIoObject*>(a);
    b->endOfItem = 1;
    b->remaining = 42;
    b->endOfStream = 1;
    b->item = fakeItem;
    EXPECT_TRUE(queues.Put(a, 1));
    EXPECT_TRUE(queues.Put(b, 1));
    EXPECT_TRUE(queues.Put(c, 1));
    EXPECT_EQ(b->currentQueue, 1);
    EXPECT_EQ(queues.GetQueueLength(1), 3u);
    EXPECT_EQ(queues.Get(1), a);
    EXPECT_EQ(queues.Get(1), b);
    EXPECT_EQ(queues.Get(1), c);

    EXPECT_TRUE(queues.Put(b, -1));
    EXPECT_EQ(b->currentQueue, 0);
    EXPECT_EQ(b->endOfItem, 0);
    EXPECT_EQ(b->item, nullptr);
    EXPECT_EQ(b->remaining, 42u);
    EXPECT_EQ(b->endOfStream, 1);
    EXPECT_EQ(queues.GetQueueLength(0), 1u);

    EXPECT_TRUE(queues.Put(nullptr, 1)) << "a null buffer is ignored";
    EXPECT_EQ(queues.GetQueueLength(1), 0u);
    EXPECT_FALSE(queues.Put(a, 9)) << "a queue that does not exist refuses the buffer";
}

TEST(BufferQueueTest, GetBlocksUntilPutOrStop) {
    CQmIoQueueMgr queues;
    ASSERT_TRUE(queues.CreateQueue(0, 16, 64));
    ASSERT_TRUE(queues.CreateQueue(1, 0, 0));

    // The 17th take from 16 free buffers blocks until one comes back.
    CQmIoBuffer* taken[16];
    for (auto& t : taken) ASSERT_NE(t = queues.Get(0), nullptr);
    std::atomic<CQmIoBuffer*> got{nullptr};
    std::thread taker([&] { got = queues.Get(0); });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(got.load(), nullptr);
    queues.Put(taken[5], 0);
    taker.join();
    EXPECT_EQ(got.load(), taken[5]);

    // An empty queue: a stop event ends the wait with no buffer.
    Event stop(false, false);
    std::atomic<bool> returned{false};
    std::thread stopped([&] {
        got = queues.Get(1, &stop);
        returned = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned.load());
    stop.Set();
    stopped.join();
    EXPECT_EQ(got.load(), nullptr);
}

TEST(BufferQueueTest, WaitOnAMissingQueueFailsWithText) {
    CQmIoQueueMgr queues;
    EXPECT_EQ(queues.Get(2), nullptr);
    std::u16string system;
    ASSERT_TRUE(GetSystemErrorMessage(os::kErrorInvalidArgument, system));
    EXPECT_EQ(GetLastErrorText(), u"等待信号量失败:" + system);
    EXPECT_EQ(queues.Get(16), nullptr);
    EXPECT_EQ(queues.Get(-1), nullptr);
    EXPECT_FALSE(queues.CreateQueue(16, 1, 1));
    EXPECT_FALSE(queues.CreateQueue(0, 1025, 1)) << "a queue holds at most 1024 buffers";
}

TEST(BufferQueueTest, DestroyAllAllowsAFreshSet) {
    CQmIoQueueMgr queues;
    ASSERT_TRUE(queues.CreateQueue(0, 16, kMiB));
    ASSERT_TRUE(queues.CreateQueue(1, 0, 0));
    EXPECT_FALSE(queues.CreateQueue(0, 1, 1)) << "a queue is not created twice";
    queues.Put(queues.Get(0), 1);
    queues.DestroyAll();
    EXPECT_FALSE(queues.IsCreated(0));
    EXPECT_FALSE(queues.IsCreated(1));
    EXPECT_EQ(queues.GetBufferCount(), 0u);
    ASSERT_TRUE(queues.CreateQueue(0, 16, kMiB));
    EXPECT_EQ(queues.GetQueueLength(0), 16u);
    EXPECT_EQ(queues.GetBufferCount(), 16u);
    EXPECT_FALSE(queues.IsCreated(1));
}

TEST(BufferQueueTest, ProducerAndConsumerKeepOrderUnderLoad) {
    CQmIoQueueMgr queues;
    ASSERT_TRUE(queues.CreateQueue(0, 4, 8));
    ASSERT_TRUE(queues.CreateQueue(1, 0, 0));
    constexpr uint64_t kCount = 20000;
    std::thread producer([&] {
        for (uint64_t i = 0; i < kCount; ++i) {
            CQmIoBuffer* b = queues.Get(0);
            b->offset = i;
            b->endOfStream = i + 1 == kCount;
            queues.Put(b, 1);
        }
    });
    uint64_t expected = 0;
    bool inOrder = true;
    for (;;) {
        CQmIoBuffer* b = queues.Get(1);
        inOrder = inOrder && b->offset == expected++;
        const bool last = b->endOfStream != 0;
        queues.Put(b, -1);
        if (last) break;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, kCount);
    EXPECT_EQ(queues.GetQueueLength(0), 4u);
}

}  // namespace
}  // namespace qm
