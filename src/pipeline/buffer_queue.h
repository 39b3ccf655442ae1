// The numbered buffer queues between the reader and the hasher.
//
// A fixed pool of large page-aligned buffers circulates between queues: the
// reader takes a free buffer from queue 0, fills it and puts it into queue 1;
// the hasher takes it from there and puts it back home. Control records (end
// of a file, end of the stream) are buffers with flags, so they keep their
// place among the data. Each queue has a counting semaphore equal to its
// length and a lock that guards only its list; no thread holds two queue
// locks at once.
//
// Queues are created by the controller before the threads start and released
// by DestroyAll after they have ended; worker threads only Get and Put.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "pipeline/sync.h"

namespace qm {

class CQmIoObject;

// The 64-byte header that follows a buffer's data area. A buffer is referred
// to by the address of its header.
struct CQmIoBuffer {
    uint8_t* data;          // start of the data area (= start of the allocation)
    int32_t homeQueue;      // queue that created the buffer
    int32_t currentQueue;   // queue it was last put into
    int32_t endOfItem;      // 1: control record closing one file, no data
    uint64_t remaining;     // with endOfItem: bytes of the file not read (0 = complete)
    int32_t endOfStream;    // 1: control record closing the run
    uint32_t capacity;      // size of the data area
    uint32_t bytesRead;     // valid data bytes
    uint64_t offset;        // file offset of the first data byte
    CQmIoObject* item;      // the item the data or record belongs to; null for end-of-stream
};
static_assert(sizeof(CQmIoBuffer) == 64, "the buffer header is one 64-byte record");

class CQmIoQueueMgr {
public:
    static constexpr int kQueueCount = 16;
    static constexpr uint32_t kMaxBuffers = 1024;  // a queue holds at most this many

    CQmIoQueueMgr();
    ~CQmIoQueueMgr();
    CQmIoQueueMgr(const CQmIoQueueMgr&) = delete;
    CQmIoQueueMgr& operator=(const CQmIoQueueMgr&) = delete;

    // Creates queue `index` holding `count` new zero-filled buffers of
    // `capacity` data bytes. False with "创建信号量失败" for a bad index, a
    // queue that already exists or a count above 1024, and with
    // "分配内存失败(索引号%u,大小:%u字节)。" when memory runs out; the buffers
    // made before that stay in the queue and the run works with them.
    bool CreateQueue(int index, uint32_t count, uint32_t capacity);

    // Takes the first buffer of queue `index`, waiting without limit; with
    // `stop`, returns null as soon as that event is set (no message). A queue
    // that does not exist records "等待信号量失败" and gives null.
    CQmIoBuffer* Get(int index, Event* stop = nullptr);

    // Takes the first buffer when one is there, without waiting.
    CQmIoBuffer* TryGet(int index);

    // Appends `buffer` to queue `index`; -1 means the buffer's home queue,
    // and then its end-of-item flag and item are cleared (remaining and
    // end-of-stream stay). A null buffer is ignored. A queue that does not
    // exist, or is full, refuses the buffer: false, and it stays with the
    // caller.
    bool Put(CQmIoBuffer* buffer, int index);

    // Releases every queue and every buffer; each queue can be created again.
    void DestroyAll();

    bool IsCreated(int index) const;
    // Buffers now in queue `index` (its semaphore count).
    uint32_t GetQueueLength(int index) const;
    // Buffers made since the last DestroyAll.
    size_t GetBufferCount() const { return allBuffers_.size(); }

private:
    struct Allocation {
        void* address = nullptr;
        size_t size = 0;
        Allocation() = default;
        Allocation(void* a, size_t s) : address(a), size(s) {}
        Allocation(Allocation&& other) noexcept;
        Allocation& operator=(Allocation&& other) noexcept;
        ~Allocation();
    };

    struct Queue {
        std::unique_ptr<Semaphore> semaphore;  // null = not created
        std::mutex lock;
        // Ring of kMaxBuffers slots, made with the queue, so that no Put or
        // Get allocates.
        std::unique_ptr<CQmIoBuffer*[]> ring;
        uint32_t head = 0;
        uint32_t size = 0;
    };

    bool ValidIndex(int index) const { return index >= 0 && index < kQueueCount; }

    std::array<Queue, kQueueCount> queues_;
    std::vector<Allocation> allBuffers_;
};

// The process-wide queue set, made on first use and released at exit.
CQmIoQueueMgr& GetIoQueueMgr();

}  // namespace qm
