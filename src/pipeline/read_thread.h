// The reader of a hashing run.
//
// Walks the items its NextItem hands out, opens each, reads it in blocks of
// up to a buffer's capacity into free buffers taken from the input queue and
// puts them into the output queue, followed by one end-of-item record per
// item and one end-of-stream record at the end. Everything the reader writes
// to an item (length, error text, flags) happens before it puts that item's
// end-of-item record, so the hasher sees it through the queue hand-off.
#pragma once

#include <cstdint>

#include "pipeline/io_thread_queue.h"

namespace qm {

class CQmIoObject;

class CQmReadThread : public CQmIoThreadQueue {
public:
    CQmReadThread() = default;

    uint32_t Execute() override;

    // The next item to read at or after `cursor`, advancing the cursor past
    // it; null when there is none.
    virtual CQmIoObject* NextItem(int32_t& cursor) = 0;

protected:
    const char* ThreadName() const override { return "qm-read"; }

private:
    // Reads one item into the output queue. False when the queue set failed
    // under it (no buffer could be had without a stop request): the run
    // cannot go on.
    bool ProcessItem(CQmIoObject* item);
};

// Reads the selected items of the process-wide document, in document order;
// in a verification run only those that have a stored hash.
class CQmReadFileThread : public CQmReadThread {
public:
    CQmIoObject* NextItem(int32_t& cursor) override;
};

}  // namespace qm
