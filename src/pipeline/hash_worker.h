// A worker of a hashing run: claims the document's items in order from the
// crew and hashes each whole with its own engine, reading it itself; when it
// has nothing left to claim it reads ahead for a worker that is still busy
// (read_ahead.h). Several workers run at once, one per core by default.
//
// Per item the worker does what the reader and the hasher of a run did
// between them, with the same outcomes: an item read completely gets its
// digest; one that could not be opened keeps the open error; a failed read
// leaves "读取失败（偏移量=...）" with the system's reason; a stop leaves
// "用户已取消"; a file that shrank while read gets kChangedWhileReadText; and
// in every case the digest (or the error) is stored before the item is
// marked processed. The processed-byte counter counts the bytes hashed plus
// the bytes of items that were not read to the end, so a run that ends
// counts every selected byte.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engines/hash_object.h"
#include "pipeline/io_thread_queue.h"

namespace qm {

class CQmHashCrew;
class CQmQuorviaItem;
class CQmReadAhead;

class CQmHashWorker : public CQmIoThreadQueue {
public:
    // Hashes with `algorithm` (a class id the catalogue knows), reading into
    // up to `buffers` buffers taken from its input queue for the run.
    CQmHashWorker(CQmHashCrew& crew, int32_t algorithm, uint32_t buffers);

    uint32_t Execute() override;

protected:
    const char* ThreadName() const override { return "qm-hash"; }

private:
    void ProcessItem(CQmQuorviaItem* item, CQmHashObject& engine);
    // Ends a read-ahead: withdraws the offer, or waits for the helper to
    // let go of the file and the buffers.
    void EndReadAhead(std::optional<CQmReadAhead>& readAhead);

    CQmHashCrew& crew_;
    const int32_t algorithm_;
    const uint32_t bufferCount_;
    std::vector<CQmIoBuffer*> buffers_;
};

}  // namespace qm
