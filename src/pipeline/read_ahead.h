// Reading ahead of a worker that hashes: the reader and hasher split, for the
// rest of one file.
//
// A worker normally reads its file itself, one block at a time into a buffer
// that stays in its core's cache, and hashes it there: nothing crosses
// between cores, and the system's read-ahead keeps the device busy while the
// worker hashes. When another worker has nothing left to claim, though, a
// core would sit idle while the copying out of the system's cache (or the
// wait for the device) and the hashing take turns on one. The busy worker
// then offers the rest of its file: the idle one reads the next blocks into
// the busy one's buffers while the busy one hashes the blocks before them.
//
// One CQmReadAhead serves one file: the owner (the hashing worker) prepares
// it, offers it through the crew, and takes blocks in file order; the helper
// runs Produce. The helper stops at the file's end, at a failed read, at a
// block it could only read by going to a device that must be read in turns
// (the owner then takes the turn and reads on itself), when the owner
// finishes, and when it is asked to stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "common/os/file.h"
#include "pipeline/buffer_queue.h"
#include "pipeline/sync.h"

namespace qm {

class CQmDeviceProbe;

// One block of a file as it was read.
struct QmReadBlock {
    const uint8_t* data = nullptr;
    uint64_t want = 0;       // bytes asked for: a buffer, or the rest of the range
    int64_t got = 0;         // bytes read; -1: the read failed
    bool needsTurn = false;  // the read stopped where the device would have been needed
};

// Reads `size` bytes, or fewer at the end of the file. With `cachedOnly`,
// only bytes the system holds in memory are read: the block then ends early
// with needsTurn set where the rest would need the device. got = -1 when a
// read failed (the reason is the thread's last error code).
QmReadBlock ReadBlock(os::FileHandle file, uint8_t* data, uint64_t size, bool cachedOnly, CQmDeviceProbe& probe);

class CQmReadAhead {
public:
    // `position` is where the file handle stands; the blocks cover up to
    // `end`, or with `toEnd` up to the file's end. `buffers` are the owner's,
    // all of one capacity.
    CQmReadAhead(os::FileHandle file, uint64_t position, uint64_t end, bool toEnd, bool cachedOnly,
                 CQmDeviceProbe& probe, std::span<CQmIoBuffer* const> buffers);
    CQmReadAhead(const CQmReadAhead&) = delete;
    CQmReadAhead& operator=(const CQmReadAhead&) = delete;

    // The helper's part: reads blocks into free buffers until one of the
    // ends above. `stopping` tells whether the helper was asked to stop; its
    // `stop` event interrupts a wait for a free buffer.
    template <class StopQuery>
    void Produce(Event& stop, StopQuery stopping) {
        ProduceBlocks(stop, [](const void* query) { return (*static_cast<const StopQuery*>(query))(); }, &stopping);
    }

    // The owner's part: the next block in file order, waiting for it; null
    // when `stop` was set first. The block stays the owner's until Release.
    const QmReadBlock* Next(Event& stop);
    void Release();

    // Tells the helper to end, then waits until it has let go of the file
    // and the buffers. Only for a read-ahead a helper has taken.
    void Finish();
    // The helper has let go (or never took it).
    bool IsDone() const { return done_.IsSet(); }
    void MarkDone() { done_.Set(); }

    // The text of the failed read, written before that block is handed over.
    const std::u16string& GetErrorText() const { return errorText_; }

private:
    void ProduceBlocks(Event& stop, bool (*stopping)(const void*), const void* query);
    uint32_t WakeBatch() const { return slotCount_ > 1 ? slotCount_ / 2 : 1; }

    struct Slot {
        CQmIoBuffer* buffer = nullptr;
        QmReadBlock block;
    };
    static constexpr size_t kMaxSlots = 16;

    const os::FileHandle file_;
    uint64_t position_;  // helper only, once taken
    const uint64_t end_;
    const bool toEnd_;
    const bool cachedOnly_;
    CQmDeviceProbe& probe_;
    Slot slots_[kMaxSlots];
    const uint32_t slotCount_;
    uint64_t produced_ = 0;  // helper only
    uint64_t consumed_ = 0;  // owner only
    Semaphore free_;
    Semaphore filled_;
    std::atomic<bool> quit_{false};
    Event done_{true, false};
    std::u16string errorText_;
};

}  // namespace qm
