#include "pipeline/read_thread.h"

#include <algorithm>

#include "common/error_record.h"
#include "common/os/file.h"
#include "document/quorvia_doc.h"
#include "input/io_object.h"

namespace qm {

namespace {

// Reads until `size` bytes are in or the file ends: a read may return fewer
// bytes than asked without being at the end. -1 (the system's error code
// kept) on failure; the bytes of a block that failed half way are not used.
int64_t ReadBlock(QmFileHandle handle, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const int64_t n = os::ReadFileData(handle, data + done, size - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

}  // namespace

uint32_t CQmReadThread::Execute() {
    ResetProcessedBytes();
    CQmIoQueueMgr& queues = Queues();
    int32_t cursor = 0;
    bool queuesWork = true;
    if (!IsStopRequested()) {
        while (CQmIoObject* item = NextItem(cursor)) {
            queuesWork = ProcessItem(item);
            if (!queuesWork || IsStopRequested()) break;
        }
    }
    if (!queuesWork) return 0;

    // This wait has no limit: the hasher keeps returning buffers until it
    // has seen this record.
    if (CQmIoBuffer* end = queues.Get(inputQueue_)) {
        end->item = nullptr;
        end->endOfItem = 0;
        end->endOfStream = 1;
        end->remaining = 0;
        end->bytesRead = 0;
        queues.Put(end, outputQueue_);
    } else {
        SetThreadErrorText(GetLastErrorText());
    }
    return 0;
}

bool CQmReadThread::ProcessItem(CQmIoObject* item) {
    CQmIoQueueMgr& queues = Queues();
    uint64_t length = item->GetLength();
    const uint64_t start = item->GetOffset();
    uint64_t position = start;
    CQmIoBuffer* held = nullptr;
    bool cancelled = false;

    item->SetReading(true);
    const QmFileHandle fd = item->Open();
    if (fd != kInvalidHandle) {
        // The open settled the length to the file's size now.
        length = item->GetLength();
        const bool toEnd = item->ReadsToEnd();
        bool ended = false;
        if (IsStopRequested()) cancelled = true;
        while (!cancelled && !ended && (toEnd || position < start + length)) {
            CQmIoBuffer* buffer = queues.Get(inputQueue_, &StopEvent());
            if (IsStopRequested()) {
                cancelled = true;
                held = buffer;
                break;
            }
            if (!buffer) {
                // The queue failed without a stop: nothing more can be read.
                const std::u16string text = GetLastErrorText();
                SetThreadErrorText(text);
                item->SetError(text);
                item->CloseFile();
                item->SetProcessed(true);
                return false;
            }
            buffer->item = item;
            buffer->endOfItem = 0;
            buffer->endOfStream = 0;
            buffer->remaining = 0;
            const uint64_t want = toEnd ? buffer->capacity : std::min<uint64_t>(buffer->capacity, start + length - position);
            const int64_t got = ReadBlock(fd, buffer->data, static_cast<size_t>(want));
            if (got < 0) {
                const std::u16string text = SetLastErrorText(0, u"读取失败（偏移量=%I64u）", position);
                SetThreadErrorText(text);
                item->SetError(text);
                cancelled = IsStopRequested();
                held = buffer;
                break;
            }
            if (got == 0 && toEnd) {
                // The end came at a block boundary: this buffer carries the
                // item's end record instead of an empty block.
                ended = true;
                held = buffer;
                break;
            }
            AddProcessedBytes(static_cast<uint64_t>(got));
            buffer->bytesRead = static_cast<uint32_t>(got);
            buffer->offset = position;
            position += static_cast<uint64_t>(got);
            if (static_cast<uint64_t>(got) < want) {
                ended = true;
                if (!toEnd) {
                    // The file is shorter than when it was opened: the bytes
                    // read are no state the file ever had as a whole, so it
                    // gets no digest (the error and the unread remainder
                    // tell the hasher so).
                    item->SetError(kChangedWhileReadText);
                }
            }
            queues.Put(buffer, outputQueue_);
            if (IsStopRequested()) {
                cancelled = true;
                break;
            }
        }
        if (toEnd) {
            // The file's length is what it held. One stopped or failed part
            // way has the length read so far, and its error keeps it from a
            // digest.
            if (cancelled && !ended) item->SetError(u"用户已取消");
            const uint64_t known = length;
            length = position - start;
            if (length != known) {
                item->SetRange(std::nullopt, kKeepRangeValue, length);
                LengthSettled(item, known);
            }
        } else if (cancelled && position < start + length) {
            item->SetError(u"用户已取消");
        }
        item->CloseFile();
    }

    CQmIoBuffer* record = held ? held : queues.Get(inputQueue_);
    if (!record) {
        const std::u16string text = GetLastErrorText();
        SetThreadErrorText(text);
        item->SetError(text);
        item->SetProcessed(true);
        return false;
    }
    record->item = item;
    record->endOfItem = 1;
    record->endOfStream = 0;
    record->bytesRead = 0;
    record->remaining = start + length - position;
    queues.Put(record, outputQueue_);
    return true;
}

void CQmReadFileThread::LengthSettled(CQmIoObject* item, uint64_t known) {
    // Every item this reader hands out is one of the document's.
    auto* entry = static_cast<CQmQuorviaItem*>(item);
    GetQuorviaDoc().AdjustTotals(entry, known - entry->GetLength());
    entry->SetChanged(true);
}

CQmIoObject* CQmReadFileThread::NextItem(int32_t& cursor) {
    CQmQuorviaDoc& document = GetQuorviaDoc();
    const bool verify = document.IsVerifyMode();
    while (CQmQuorviaItem* item = document.GetItemAt(static_cast<size_t>(cursor))) {
        ++cursor;
        // An item already processed before the run failed when it was
        // listed (a folder that could not be read): there is nothing to read.
        if (!item->IsSelected() || item->IsProcessed() || (verify && !item->HasHash())) continue;
        item->SetUpdated(true);
        return item;
    }
    return nullptr;
}

}  // namespace qm
