#include "pipeline/task_runner.h"

#include "common/error_record.h"
#include "document/quorvia_doc.h"
#include "pipeline/buffer_queue.h"

namespace qm {

namespace {

constexpr int kFreeQueue = 0;
constexpr int kFilledQueue = 1;
constexpr uint32_t kBufferCount = 16;
constexpr uint32_t kBufferSize = 0x100000;
// How often a wait for the reader looks whether the hasher is still there.
constexpr uint32_t kReaderPollMs = 10;

}  // namespace

CQmTaskRunner::CQmTaskRunner(NotifyTarget* target) : target_(target) {}

CQmTaskRunner::~CQmTaskRunner() {
    StopForClose();
    if (enumThread_) enumThread_->Stop(false, QM_INFINITE, false);
    if (hashThread_) hashThread_->Stop(false, QM_INFINITE, false);
    hashThread_.reset();
    if (readThread_) {
        WaitForReader(false);
        readThread_.reset();
        GetIoQueueMgr().DestroyAll();
    }
}

CQmTaskRunner::Phase CQmTaskRunner::GetPhase() const {
    if (enumThread_) return Phase::Enumerating;
    if (hashThread_ || readThread_) return Phase::Hashing;
    return Phase::Idle;
}

bool CQmTaskRunner::StartNewTask(const std::vector<TaskInput>& inputs, std::u16string_view rootDir,
                                 int32_t classId, bool includeSubdirs) {
    if (IsRunning()) {
        SetErrorText(os::kErrorBusy, u"当前正在计算文件校验，因此暂不能创建新的任务。");
        return false;
    }
    CQmQuorviaDoc& document = GetQuorviaDoc();
    document.Clear();
    if (!document.BeginTask(rootDir, classId, includeSubdirs)) return false;
    document.SetVerifyMode(false);

    auto thread = std::make_unique<CQmEnumFileThread>();
    for (const TaskInput& input : inputs) thread->AddPendingPath(input.path, input.isDirectory);
    thread->SetNotify(target_, WMU_ENUM_DONE);
    if (!thread->Start()) return false;
    enumThread_ = std::move(thread);
    lastProcessedBytes_ = 0;
    document.SetBusy(true);
    return true;
}

bool CQmTaskRunner::StartVerification(bool allItems) {
    if (IsRunning()) {
        SetErrorText(os::kErrorBusy, u"当前正在计算文件校验，因此暂不能创建新的任务。");
        return false;
    }
    CQmQuorviaDoc& document = GetQuorviaDoc();
    document.ResetItemStates();
    document.ClearItemErrors();
    document.SetVerifyMode(true);
    if (allItems) document.SelectAll(true, true);
    document.RecountSelectedBytes();
    lastProcessedBytes_ = 0;
    const bool started = StartHashing();
    document.SetBusy(hashThread_ != nullptr);
    return started;
}

bool CQmTaskRunner::StartHashing() {
    CQmIoQueueMgr& queues = GetIoQueueMgr();
    // No reader or hasher exists, so nothing uses the queue set now.
    queues.DestroyAll();
    queues.CreateQueue(kFreeQueue, kBufferCount, kBufferSize);
    if (queues.GetQueueLength(kFreeQueue) == 0 || !queues.CreateQueue(kFilledQueue, 0, 0)) {
        // Without a single free buffer the reader could only wait for good;
        // the reason (the allocation failure) is recorded.
        queues.DestroyAll();
        return false;
    }

    auto hasher = std::make_unique<CQmHashFileThread>();
    hasher->SetNotify(target_, WMU_HASH_DONE);
    hasher->SetQueues(kFilledQueue, -1, -1);
    // An algorithm the catalogue lacks must not leave the hasher on its
    // default: the digests would be of another algorithm than the list's.
    if (!hasher->SetAlgorithm(GetQuorviaDoc().GetAlgorithm()) || !hasher->Start()) {
        queues.DestroyAll();
        return false;
    }

    auto reader = std::make_unique<CQmReadFileThread>();
    reader->SetQueues(kFreeQueue, -1, kFilledQueue);
    if (!reader->Start()) {
        // The hasher's end message then finds no run and is ignored.
        hasher->Stop(true, QM_INFINITE, false);
        queues.DestroyAll();
        return false;
    }
    hashThread_ = std::move(hasher);
    readThread_ = std::move(reader);
    return true;
}

void CQmTaskRunner::Stop() {
    if (enumThread_) enumThread_->Stop(true, QM_INFINITE, false);
    if (readThread_) WaitForReader(true);
}

void CQmTaskRunner::StopForClose() {
    if (enumThread_) enumThread_->Stop(true, 0, false);
    if (readThread_) readThread_->Stop(true, 0, false);
    if (hashThread_) hashThread_->Stop(true, 0, false);
}

CQmTaskRunner::EnumOutcome CQmTaskRunner::OnEnumDone(uintptr_t /*wParam*/, intptr_t lParam) {
    if (!enumThread_) return EnumOutcome::Ignored;
    enumThread_->Stop(false, QM_INFINITE, false);
    enumThread_.reset();
    if (target_) target_->Post(WMU_UPDATE_TOTALS, 0, 0);

    CQmQuorviaDoc& document = GetQuorviaDoc();
    EnumOutcome outcome = EnumOutcome::Cancelled;
    if (lParam == 0) {
        document.RecountSelectedBytes();
        outcome = StartHashing() ? EnumOutcome::HashingStarted : EnumOutcome::HashingFailed;
    }
    document.SetBusy(hashThread_ != nullptr);
    return outcome;
}

bool CQmTaskRunner::OnHashDone() {
    if (!hashThread_) return false;
    ReleaseHashing();
    GetQuorviaDoc().SetBusy(false);
    return true;
}

void CQmTaskRunner::ReleaseHashing() {
    hashThread_->Stop(false, QM_INFINITE, false);
    lastProcessedBytes_ = hashThread_->GetProcessedBytes();
    hashThread_.reset();
    // After a complete run the reader has already sent its last record; a
    // hasher that ended early leaves a reader that must be stopped first.
    if (readThread_) {
        WaitForReader(!readThread_->HasFinished());
        readThread_.reset();
    }
    CQmIoQueueMgr& queues = GetIoQueueMgr();
    lastAccount_.made = queues.GetBufferCount();
    lastAccount_.home = queues.GetQueueLength(kFreeQueue);
    queues.DestroyAll();
}

void CQmTaskRunner::WaitForReader(bool signal) {
    if (signal) readThread_->SignalStop();
    for (;;) {
        const bool hasherGone = !hashThread_ || hashThread_->HasFinished();
        if (hasherGone) ReturnFilledBuffers();
        if (readThread_->WaitFinished(hasherGone ? kReaderPollMs : kReaderPollMs * 10)) break;
    }
    readThread_->Stop(false, QM_INFINITE, false);
    if (!hashThread_ || hashThread_->HasFinished()) ReturnFilledBuffers();
}

void CQmTaskRunner::ReturnFilledBuffers() {
    CQmIoQueueMgr& queues = GetIoQueueMgr();
    while (CQmIoBuffer* buffer = queues.TryGet(kFilledQueue)) queues.Put(buffer, -1);
}

uint64_t CQmTaskRunner::GetProcessedBytes() const {
    return hashThread_ ? hashThread_->GetProcessedBytes() : lastProcessedBytes_;
}

}  // namespace qm
