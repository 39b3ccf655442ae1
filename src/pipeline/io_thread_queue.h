// A worker thread that takes buffers from one queue and puts them into
// another, counting the bytes it has handled. The reader and the hasher
// derive from it.
#pragma once

#include <atomic>
#include <cstdint>

#include "pipeline/buffer_queue.h"
#include "pipeline/thread_obj.h"

namespace qm {

class CQmIoThreadQueue : public CQmThreadObj {
public:
    CQmIoThreadQueue() = default;

    // Stores a byte range; the reader and hasher of a hashing run do not use it.
    virtual bool SetReadRange(uint64_t start, uint64_t length);

    // Queue to take from, a second queue (stored, used by no body), and the
    // queue to put into (-1: each buffer's home queue).
    void SetQueues(int input, int second, int output);
    int GetInputQueue() const { return inputQueue_; }
    int GetOutputQueue() const { return outputQueue_; }

    // Bytes handled so far in this run. Written only by the thread itself;
    // the controller polls it while the run goes on.
    uint64_t GetProcessedBytes() const { return processedBytes_.load(std::memory_order_acquire); }

protected:
    void ResetProcessedBytes() { processedBytes_.store(0, std::memory_order_release); }
    void AddProcessedBytes(uint64_t bytes) {
        // Single writer: a plain read-modify-write published with release.
        processedBytes_.store(processedBytes_.load(std::memory_order_relaxed) + bytes, std::memory_order_release);
    }
    CQmIoQueueMgr& Queues() const { return GetIoQueueMgr(); }

    int inputQueue_ = -1;
    int secondQueue_ = -1;
    int outputQueue_ = -1;
    uint64_t rangeStart_ = 0;
    uint64_t rangePosition_ = 0;
    uint64_t rangeLength_ = 0;

private:
    std::atomic<uint64_t> processedBytes_{0};
};

}  // namespace qm
