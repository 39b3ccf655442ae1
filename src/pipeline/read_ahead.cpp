#include "pipeline/read_ahead.h"

#include <algorithm>

#include "common/error_record.h"
#include "pipeline/device_turns.h"

namespace qm {

namespace {

// A wait here is for a whole block to be read or hashed (tens to hundreds
// of microseconds): polling that long would only take the core from the
// other side.
constexpr int kSpinRounds = 50;

}  // namespace

QmReadBlock ReadBlock(os::FileHandle file, uint8_t* data, uint64_t size, bool cachedOnly, CQmDeviceProbe& probe) {
    QmReadBlock block;
    block.data = data;
    block.want = size;
    uint64_t done = 0;
    // A read may return fewer bytes than asked without being at the end.
    while (done < size) {
        const size_t ask = static_cast<size_t>(size - done);
        const int64_t n = cachedOnly ? probe.ReadCached(file, data + done, ask) : os::ReadFileData(file, data + done, ask);
        if (n == os::kNotInMemory) {
            block.needsTurn = true;
            break;
        }
        if (n < 0) {
            // The bytes of a block that failed half way are not used.
            block.got = -1;
            return block;
        }
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
    }
    block.got = static_cast<int64_t>(done);
    return block;
}

CQmReadAhead::CQmReadAhead(os::FileHandle file, uint64_t position, uint64_t end, bool toEnd, bool cachedOnly,
                           CQmDeviceProbe& probe, std::span<CQmIoBuffer* const> buffers)
    : file_(file),
      position_(position),
      end_(end),
      toEnd_(toEnd),
      cachedOnly_(cachedOnly),
      probe_(probe),
      slotCount_(static_cast<uint32_t>(std::min(buffers.size(), kMaxSlots))),
      free_(slotCount_, slotCount_, kSpinRounds),
      filled_(0, slotCount_, kSpinRounds) {
    for (uint32_t i = 0; i < slotCount_; ++i) slots_[i].buffer = buffers[i];
}

void CQmReadAhead::ProduceBlocks(Event& stop, bool (*stopping)(const void*), const void* query) {
    for (;;) {
        if (quit_.load(std::memory_order_acquire) || stopping(query)) break;
        if (free_.Acquire(&stop) != Semaphore::WaitResult::Acquired) break;
        if (quit_.load(std::memory_order_acquire) || stopping(query)) break;
        Slot& slot = slots_[produced_ % slotCount_];
        const uint64_t want = toEnd_ ? slot.buffer->capacity
                                     : std::min<uint64_t>(slot.buffer->capacity, end_ - position_);
        slot.block = ReadBlock(file_, slot.buffer->data, want, cachedOnly_, probe_);
        bool last = slot.block.needsTurn;
        if (slot.block.got < 0) {
            errorText_ = SetLastErrorText(0, u"读取失败（偏移量=%I64u）", position_);
            last = true;
        } else {
            position_ += static_cast<uint64_t>(slot.block.got);
            // A short block is the file's end (or its shrinking); the owner
            // tells which.
            if (static_cast<uint64_t>(slot.block.got) < want || (!toEnd_ && position_ >= end_)) last = true;
        }
        ++produced_;
        // Publishes the block, and before it the error text. The owner,
        // should it wait, is woken for half the ring at a time, and for the
        // last block.
        filled_.Release(1, last ? 1 : WakeBatch());
        if (last) break;
    }
    done_.Set();
}

const QmReadBlock* CQmReadAhead::Next(Event& stop) {
    if (filled_.Acquire(&stop) != Semaphore::WaitResult::Acquired) return nullptr;
    return &slots_[consumed_ % slotCount_].block;
}

void CQmReadAhead::Release() {
    ++consumed_;
    // The helper, should it wait, is woken once half the ring is free: one
    // wake per several blocks, not one per block. When the owner has taken
    // every block, all are free, so a waiting helper is always woken.
    free_.Release(1, WakeBatch());
}

void CQmReadAhead::Finish() {
    quit_.store(true, std::memory_order_release);
    // Wakes a helper waiting for a free buffer; when none is waiting the
    // count may already be full, and then nothing needs waking.
    free_.Release(1);
    done_.Wait();
}

}  // namespace qm
