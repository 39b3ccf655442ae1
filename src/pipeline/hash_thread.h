// The hasher of a hashing run.
//
// Takes buffers from its input queue in order, feeds data blocks to one hash
// engine, finalises the digest at each end-of-item record and stores it in
// the item, and returns every buffer to its home queue. It ends when the
// end-of-stream record arrives (or when it is stopped, or has no engine).
#pragma once

#include <cstdint>

#include "engines/hash_object.h"
#include "pipeline/io_thread_queue.h"

namespace qm {

class CQmDataQmHashThread : public CQmIoThreadQueue {
public:
    // Thread number 2 (shown in a start failure), algorithm MD5.
    CQmDataQmHashThread();

    uint32_t Execute() override;

    // Called once the hasher is done with an item's end-of-item record.
    virtual void ItemDone(CQmIoBuffer* buffer);

    // Takes `classId` when the catalogue knows it; otherwise records
    // "设置哈希算法失败" with the catalogue's reason and keeps the algorithm.
    bool SetAlgorithm(int32_t classId);
    int32_t GetAlgorithm() const { return algorithm_; }

protected:
    const char* ThreadName() const override { return "qm-hash"; }

private:
    // The record closes one item: store its digest when the whole item was
    // read, or count the bytes that were not.
    void FinishItem(CQmHashObject& engine, const CQmIoBuffer& record);

    int32_t algorithm_ = QM_HASH_MD5;
};

// Marks each item finished (processed, reading cleared, updated) once its
// record has been handled.
class CQmHashFileThread : public CQmDataQmHashThread {
public:
    void ItemDone(CQmIoBuffer* buffer) override;
};

}  // namespace qm
