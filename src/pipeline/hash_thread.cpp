#include "pipeline/hash_thread.h"

#include "common/error_record.h"
#include "engines/hash_catalog.h"
#include "input/io_object.h"

namespace qm {

CQmDataQmHashThread::CQmDataQmHashThread() { SetThreadNumber(2); }

bool CQmDataQmHashThread::SetAlgorithm(int32_t classId) {
    if (GetHashCatalog().IndexOf(classId) < 0) {
        ReplaceErrorContext(u"设置哈希算法失败");
        return false;
    }
    algorithm_ = classId;
    return true;
}

void CQmDataQmHashThread::ItemDone(CQmIoBuffer* /*buffer*/) {}

void CQmHashFileThread::ItemDone(CQmIoBuffer* buffer) {
    if (!buffer->item) return;
    buffer->item->SetProcessed(true);
    buffer->item->SetUpdated(true);
}

uint32_t CQmDataQmHashThread::Execute() {
    ResetProcessedBytes();
    std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(algorithm_);
    if (!engine) return 0;

    CQmIoQueueMgr& queues = Queues();
    while (!IsStopRequested()) {
        // A new item starts with a fresh digest.
        engine->Init();
        bool itemEnded = false;
        while (!itemEnded) {
            if (IsStopRequested()) return 0;
            CQmIoBuffer* buffer = queues.Get(inputQueue_, &StopEvent());
            if (!buffer) {
                if (IsStopRequested()) return 0;
                // The queue failed under us; waiting again would fail again.
                SetThreadErrorText(GetLastErrorText());
                return 0;
            }
            const bool endOfStream = buffer->endOfStream != 0;
            if (endOfStream) {
                RequestStop();
            } else if (!buffer->endOfItem) {
                engine->Update(buffer->data, buffer->bytesRead);
                AddProcessedBytes(buffer->bytesRead);
            } else {
                FinishItem(*engine, *buffer);
                ItemDone(buffer);
                itemEnded = true;
            }
            // The buffer is no longer ours once it is put back.
            queues.Put(buffer, outputQueue_);
            if (endOfStream) break;
        }
    }
    return 0;
}

void CQmDataQmHashThread::FinishItem(CQmHashObject& engine, const CQmIoBuffer& record) {
    if (record.remaining != 0) {
        // Failed or cancelled: its unread bytes still count towards the
        // run's total, and it gets no digest.
        AddProcessedBytes(record.remaining);
        return;
    }
    CQmIoObject* item = record.item;
    if (!item) return;
    // An item that carries an error was not read (an open that failed on a
    // file whose known length was 0): a digest of no data would pass off
    // the missing file as an empty one.
    if (!item->GetError().empty()) return;
    uint8_t digest[QM_MAX_DIGEST_SIZE] = {};
    const uint32_t size = engine.Final(digest);
    if (size == 0) {
        const std::u16string reason = GetLastErrorText();
        item->SetError(reason.empty() ? std::u16string(u"计算哈希值失败") : reason);
        return;
    }
    item->SetHash(digest, size, algorithm_);
}

}  // namespace qm
