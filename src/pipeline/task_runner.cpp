#include "pipeline/task_runner.h"

#include <algorithm>
#include <thread>

#include "common/error_record.h"
#include "document/quorvia_doc.h"
#include "engines/hash_catalog.h"
#include "pipeline/buffer_queue.h"
#include "pipeline/hash_crew.h"
#include "pipeline/hash_worker.h"

namespace qm {

namespace {

constexpr int kFreeQueue = 0;
// Each worker reads into buffers of its own, one at a time; all of them
// serve a helper that reads ahead of it. A block small enough to stay in a
// core's second-level cache between the copy out of the system's cache and
// the hashing, large enough that the calls per block do not show: on a cached
// 1 GiB file, 512 KiB blocks cost less CPU time beyond the engine's than
// 128 or 256 KiB ones, and 1 MiB gains nothing more. The pages of a buffer
// cost memory only once a read reaches them, so small files use little.
constexpr uint32_t kBuffersPerWorker = 8;
constexpr uint32_t kBufferSize = 0x80000;

}  // namespace

CQmTaskRunner::CQmTaskRunner(NotifyTarget* target) : target_(target) {}

CQmTaskRunner::~CQmTaskRunner() {
    StopForClose();
    if (enumThread_) enumThread_->Stop(false, QM_INFINITE, false);
    if (!workers_.empty()) {
        StopWorkers(true);
        workers_.clear();
        crew_.reset();
        GetIoQueueMgr().DestroyAll();
    }
}

CQmTaskRunner::Phase CQmTaskRunner::GetPhase() const {
    if (enumThread_) return Phase::Enumerating;
    if (!workers_.empty()) return Phase::Hashing;
    return Phase::Idle;
}

void CQmTaskRunner::SetWorkerCount(uint32_t count) { workerCount_ = std::min(count, kMaxWorkers); }

uint32_t CQmTaskRunner::GetWorkerCount() const {
    if (workerCount_ != 0) return workerCount_;
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp<uint32_t>(cores, 1, kMaxWorkers);
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
    // The enumeration has the cores the hashing run will have.
    thread->SetHelperCount(GetWorkerCount() - 1);
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
    document.SetBusy(!workers_.empty());
    return started;
}

bool CQmTaskRunner::StartHashing() {
    // An algorithm the catalogue lacks must not leave the workers on another:
    // the digests would be of another algorithm than the list's.
    const int32_t algorithm = GetQuorviaDoc().GetAlgorithm();
    if (GetHashCatalog().IndexOf(algorithm) < 0) {
        ReplaceErrorContext(u"设置哈希算法失败");
        return false;
    }
    const uint32_t count = GetWorkerCount();
    CQmIoQueueMgr& queues = GetIoQueueMgr();
    // No worker exists, so nothing uses the queue set now.
    queues.DestroyAll();
    queues.CreateQueue(kFreeQueue, count * kBuffersPerWorker, kBufferSize);
    if (queues.GetQueueLength(kFreeQueue) == 0) {
        // Without a single buffer no worker could read; the reason (the
        // allocation failure) is recorded.
        queues.DestroyAll();
        return false;
    }

    lastFigures_ = RunFigures{};
    lastFigures_.workers = count;
    crew_ = std::make_unique<CQmHashCrew>(target_, count, probe_ ? *probe_ : SystemDeviceProbe());
    for (uint32_t i = 0; i < count; ++i) {
        auto worker = std::make_unique<CQmHashWorker>(*crew_, algorithm, kBuffersPerWorker);
        worker->SetQueues(kFreeQueue, -1, -1);
        worker->SetNotify(crew_.get(), WMU_HASH_DONE);
        if (!worker->Start()) {
            // The run cannot be had as asked (the reason is recorded). The
            // workers already started are stopped; their end messages stay
            // with the crew, which posts nothing unless all have ended.
            StopWorkers(true);
            workers_.clear();
            crew_.reset();
            queues.DestroyAll();
            return false;
        }
        workers_.push_back(std::move(worker));
    }
    return true;
}

void CQmTaskRunner::StopWorkers(bool wait) {
    for (const auto& worker : workers_) worker->SignalStop();
    // A worker waiting for work to help with sleeps on the crew, not on its
    // stop event.
    if (crew_) crew_->WakeAll();
    if (!wait) return;
    for (const auto& worker : workers_) worker->Stop(false, QM_INFINITE, false);
}

void CQmTaskRunner::Stop() {
    if (enumThread_) enumThread_->Stop(true, QM_INFINITE, false);
    if (!workers_.empty()) StopWorkers(true);
}

void CQmTaskRunner::StopForClose() {
    if (enumThread_) enumThread_->Stop(true, 0, false);
    if (!workers_.empty()) StopWorkers(false);
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
    document.SetBusy(!workers_.empty());
    return outcome;
}

bool CQmTaskRunner::OnHashDone() {
    if (workers_.empty()) return false;
    ReleaseHashing();
    GetQuorviaDoc().SetBusy(false);
    return true;
}

void CQmTaskRunner::ReleaseHashing() {
    // The message comes after every worker's body has returned; this only
    // waits for the threads to be gone.
    uint64_t processed = 0;
    for (const auto& worker : workers_) {
        worker->Stop(false, QM_INFINITE, false);
        processed += worker->GetProcessedBytes();
    }
    lastProcessedBytes_ = processed;
    lastFigures_.mostReadersOfOneSlowDevice = crew_->Turns().GetMostHolders();
    lastFigures_.filesReadAhead = crew_->GetFilesReadAhead();
    workers_.clear();
    crew_.reset();
    CQmIoQueueMgr& queues = GetIoQueueMgr();
    lastAccount_.made = queues.GetBufferCount();
    lastAccount_.home = queues.GetQueueLength(kFreeQueue);
    queues.DestroyAll();
}

uint64_t CQmTaskRunner::GetProcessedBytes() const {
    if (workers_.empty()) return lastProcessedBytes_;
    uint64_t processed = 0;
    for (const auto& worker : workers_) processed += worker->GetProcessedBytes();
    return processed;
}

}  // namespace qm
