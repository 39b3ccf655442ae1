// The reader of a hashing run.
//
// Walks the items its NextItem hands out, opens each, reads it in blocks of
// up to a buffer's capacity (up to the size seen at open; a file that grows
// meanwhile is hashed as it was then, one that shrinks fails with
// kChangedWhileReadText; a file of size 0 is read to its end) into free buffers taken from the input queue and
// puts them into the output queue, followed by one end-of-item record per
// item and one end-of-stream record at the end. Everything the reader writes
// to an item (length, error text, flags) happens before it puts that item's
// end-of-item record, so the hasher sees it through the queue hand-off.
#pragma once

#include <cstdint>
#include <string_view>

#include "pipeline/io_thread_queue.h"

namespace qm {

class CQmIoObject;

// The error of an item whose read ended before the size it had when it was
// opened.
inline constexpr std::u16string_view kChangedWhileReadText = u"文件在读取期间被改动";

class CQmReadThread : public CQmIoThreadQueue {
public:
    CQmReadThread() = default;

    uint32_t Execute() override;

    // The next item to read at or after `cursor`, advancing the cursor past
    // it; null when there is none.
    virtual CQmIoObject* NextItem(int32_t& cursor) = 0;

protected:
    // An item read to its end (ReadsToEnd) now has the length read; `known`
    // is the length it had before. The reader calls it before the item's
    // end-of-item record.
    virtual void LengthSettled(CQmIoObject* /*item*/, uint64_t /*known*/) {}

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

protected:
    // The document's totals follow the length read, and the row shows it.
    void LengthSettled(CQmIoObject* item, uint64_t known) override;
};

}  // namespace qm
