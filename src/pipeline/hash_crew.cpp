#include "pipeline/hash_crew.h"

#include <algorithm>

#include "document/quorvia_doc.h"
#include "pipeline/read_ahead.h"
#include "pipeline/thread_obj.h"

namespace qm {

CQmHashCrew::CQmHashCrew(NotifyTarget* target, uint32_t workers, CQmDeviceProbe& probe)
    : target_(target), workers_(workers), verify_(GetQuorviaDoc().IsVerifyMode()), turns_(probe) {}

CQmQuorviaItem* CQmHashCrew::NextItem() {
    {
        std::lock_guard guard(lock_);
        ++busy_;
    }
    CQmQuorviaDoc& document = GetQuorviaDoc();
    // The items cannot change during a run (the document is busy), so an
    // index once past the end stays past it.
    while (CQmQuorviaItem* item = document.GetItemAt(cursor_.fetch_add(1, std::memory_order_relaxed))) {
        // An item already processed before the run failed when it was
        // listed (a folder that could not be read): there is nothing to read.
        if (!item->IsSelected() || item->IsProcessed() || (verify_ && !item->HasHash())) continue;
        item->SetUpdated(true);
        return item;
    }
    std::lock_guard guard(lock_);
    exhausted_ = true;
    if (--busy_ == 0) wake_.notify_all();
    return nullptr;
}

void CQmHashCrew::ItemDone() {
    std::lock_guard guard(lock_);
    if (--busy_ == 0 && exhausted_) wake_.notify_all();
}

void CQmHashCrew::PublishIdle() {
    idle_.store(waiting_ > offers_.size() ? static_cast<uint32_t>(waiting_ - offers_.size()) : 0,
                std::memory_order_release);
}

bool CQmHashCrew::Offer(CQmReadAhead* readAhead) {
    {
        std::lock_guard guard(lock_);
        if (waiting_ <= offers_.size()) return false;
        offers_.push_back(readAhead);
        PublishIdle();
    }
    readAheads_.fetch_add(1, std::memory_order_acq_rel);
    wake_.notify_all();
    return true;
}

bool CQmHashCrew::Withdraw(CQmReadAhead* readAhead) {
    std::lock_guard guard(lock_);
    const auto it = std::find(offers_.begin(), offers_.end(), readAhead);
    if (it == offers_.end()) return false;
    offers_.erase(it);
    PublishIdle();
    return true;
}

CQmReadAhead* CQmHashCrew::WaitForOffer(const CQmThreadObj& worker) {
    std::unique_lock guard(lock_);
    ++waiting_;
    PublishIdle();
    wake_.wait(guard, [&] {
        return !offers_.empty() || worker.IsStopRequested() || (exhausted_ && busy_ == 0);
    });
    CQmReadAhead* offer = nullptr;
    // A worker asked to stop takes nothing; the owner, stopped as well,
    // withdraws its offer.
    if (!offers_.empty() && !worker.IsStopRequested()) {
        offer = offers_.front();
        offers_.pop_front();
    }
    --waiting_;
    PublishIdle();
    return offer;
}

void CQmHashCrew::WakeAll() {
    // Under the lock: a worker between its test of the stop flag and its
    // sleep cannot miss this.
    std::lock_guard guard(lock_);
    wake_.notify_all();
}

void CQmHashCrew::Post(uint32_t /*message*/, uintptr_t wParam, intptr_t /*lParam*/) {
    if (wParam != 1) clean_.store(false, std::memory_order_release);
    if (ended_.fetch_add(1, std::memory_order_acq_rel) + 1 != workers_) return;
    if (target_) target_->Post(WMU_HASH_DONE, clean_.load(std::memory_order_acquire) ? 1 : 0, 0);
}

}  // namespace qm
