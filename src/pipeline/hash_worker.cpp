#include "pipeline/hash_worker.h"

#include <algorithm>

#include "common/error_record.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "engines/hash_catalog.h"
#include "pipeline/hash_crew.h"
#include "pipeline/read_ahead.h"
#include "pipeline/read_thread.h"

namespace qm {

namespace {

// Read-ahead is offered for no less than this much of a file: below it the
// helper's start costs more than the overlap wins.
constexpr uint64_t kReadAheadMinimum = uint64_t{2} << 20;

}  // namespace

CQmHashWorker::CQmHashWorker(CQmHashCrew& crew, int32_t algorithm, uint32_t buffers)
    : crew_(crew), algorithm_(algorithm), bufferCount_(buffers) {
    SetThreadNumber(2);
}

uint32_t CQmHashWorker::Execute() {
    ResetProcessedBytes();
    CQmIoQueueMgr& queues = Queues();
    std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(algorithm_);
    // The queue was made with every worker's buffers; taking them does not wait.
    while (engine && buffers_.size() < bufferCount_) {
        CQmIoBuffer* buffer = queues.TryGet(inputQueue_);
        if (!buffer) break;
        buffers_.push_back(buffer);
    }
    // Without an engine or a buffer this worker takes no part; the others
    // hash the items.
    if (engine && !buffers_.empty()) {
        while (!IsStopRequested()) {
            if (CQmQuorviaItem* item = crew_.NextItem()) {
                ProcessItem(item, *engine);
                crew_.ItemDone();
                continue;
            }
            CQmReadAhead* offer = crew_.WaitForOffer(*this);
            if (!offer) break;
            offer->Produce(StopEvent(), [this] { return IsStopRequested(); });
        }
    }
    for (CQmIoBuffer* buffer : buffers_) queues.Put(buffer, -1);
    buffers_.clear();
    return 0;
}

void CQmHashWorker::EndReadAhead(std::optional<CQmReadAhead>& readAhead) {
    if (!crew_.Withdraw(&*readAhead)) readAhead->Finish();
    readAhead.reset();
}

void CQmHashWorker::ProcessItem(CQmQuorviaItem* item, CQmHashObject& engine) {
    uint64_t length = item->GetLength();
    const uint64_t start = item->GetOffset();
    uint64_t position = start;
    bool cancelled = false;

    // A new item starts with a fresh digest.
    engine.Init();
    item->SetReading(true);
    os::FileAttributes opened;
    const QmFileHandle fd = item->OpenAndDescribe(&opened);
    if (fd != kInvalidHandle) {
        // The open settled the length to the file's size now.
        length = item->GetLength();
        const bool toEnd = item->ReadsToEnd();
        CQmDeviceProbe& probe = crew_.Turns().Probe();
        // Null unless the file's device must be read one file at a time.
        CQmDeviceTurn* const turn = crew_.Turns().TurnFor(fd, opened);
        bool holdsTurn = false;
        std::optional<CQmReadAhead> readAhead;
        CQmIoBuffer* const own = buffers_.front();
        bool ended = false;
        if (IsStopRequested()) cancelled = true;
        while (!cancelled && !ended && (toEnd || position < start + length)) {
            const uint64_t left = start + length - position;
            if (!readAhead && !toEnd && left >= kReadAheadMinimum && crew_.HasIdleWorker()) {
                readAhead.emplace(fd, position, start + length, toEnd, turn && !holdsTurn, probe, buffers_);
                if (!crew_.Offer(&*readAhead)) readAhead.reset();
            }
            QmReadBlock direct;
            const QmReadBlock* block = &direct;
            if (readAhead) {
                block = readAhead->Next(StopEvent());
                if (!block) {
                    cancelled = true;
                    break;
                }
            } else {
                const uint64_t want = toEnd ? own->capacity : std::min<uint64_t>(own->capacity, left);
                direct = ReadBlock(fd, own->data, want, turn && !holdsTurn, probe);
            }
            if (block->got < 0) {
                const std::u16string text =
                    readAhead ? readAhead->GetErrorText() : SetLastErrorText(0, u"读取失败（偏移量=%I64u）", position);
                item->SetError(text);
                cancelled = IsStopRequested();
                break;
            }
            const uint64_t got = static_cast<uint64_t>(block->got);
            if (got > 0) {
                engine.Update(block->data, static_cast<uint32_t>(got));
                AddProcessedBytes(got);
                position += got;
            }
            const bool needsTurn = block->needsTurn;
            const bool shortBlock = got < block->want;
            if (readAhead) readAhead->Release();
            if (needsTurn) {
                // The rest has to come from a device that is read one file at
                // a time: wait for its turn, then read on here.
                if (readAhead) EndReadAhead(readAhead);
                if (!turn->Take(StopEvent())) {
                    cancelled = true;
                    break;
                }
                holdsTurn = true;
                continue;
            }
            if (shortBlock) {
                ended = true;
                if (!toEnd) {
                    // The file is shorter than when it was opened: the bytes
                    // read are no state the file ever had as a whole, so it
                    // gets no digest (the error and the unread remainder
                    // say so).
                    item->SetError(kChangedWhileReadText);
                }
            }
            if (IsStopRequested()) cancelled = true;
        }
        if (readAhead) EndReadAhead(readAhead);
        if (holdsTurn) turn->Give();
        if (toEnd) {
            // The file's length is what it held. One stopped or failed part
            // way has the length read so far, and its error keeps it from a
            // digest.
            if (cancelled && !ended) item->SetError(u"用户已取消");
            const uint64_t known = length;
            length = position - start;
            if (length != known) {
                item->SetRange(std::nullopt, kKeepRangeValue, length);
                // The document's totals follow the length read, and the row shows it.
                GetQuorviaDoc().AdjustTotals(item, known - length);
                item->SetChanged(true);
            }
        } else if (cancelled && position < start + length) {
            item->SetError(u"用户已取消");
        }
        item->CloseFile();
    }

    const uint64_t remaining = start + length - position;
    if (remaining != 0) {
        // Failed or cancelled: its unread bytes still count towards the
        // run's total, and it gets no digest.
        AddProcessedBytes(remaining);
    } else if (item->GetError().empty()) {
        // (An item that carries an error was not read: an open that failed
        // on a file whose known length was 0. A digest of no data would pass
        // off the missing file as an empty one.)
        uint8_t digest[QM_MAX_DIGEST_SIZE] = {};
        const uint32_t size = engine.Final(digest);
        if (size == 0) {
            const std::u16string reason = GetLastErrorText();
            item->SetError(reason.empty() ? std::u16string(u"计算哈希值失败") : reason);
        } else {
            item->SetHash(digest, size, algorithm_);
        }
    }
    // The digest or the error is stored before the item shows as processed.
    item->SetProcessed(true);
    item->SetUpdated(true);
}

}  // namespace qm
