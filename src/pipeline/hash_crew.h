// What the workers of one hashing run share.
//
// - The items: each worker claims the next selected item of the process-wide
//   document, in document order, and hashes it whole; the claim takes the
//   document lock once per item.
// - The turns of the devices that must be read one file at a time.
// - Read-ahead: a worker with nothing left to claim waits here for a busy
//   worker's offer to read ahead of it (read_ahead.h). An offer is only made
//   while a worker is waiting for one, so every offer is taken.
// - The end: each worker's end message comes here, and the last one goes on
//   to the front end as the run's one WMU_HASH_DONE.
//
// A worker with nothing to claim and no offer to take ends once no worker is
// busy with an item any more (until then an offer may still come).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "pipeline/device_turns.h"
#include "pipeline/notify_target.h"

namespace qm {

class CQmQuorviaItem;
class CQmReadAhead;
class CQmThreadObj;

class CQmHashCrew : public NotifyTarget {
public:
    // `workers`: how many end messages make the run's end.
    CQmHashCrew(NotifyTarget* target, uint32_t workers, CQmDeviceProbe& probe);
    CQmHashCrew(const CQmHashCrew&) = delete;
    CQmHashCrew& operator=(const CQmHashCrew&) = delete;

    // The next item that takes part in the run (selected, not processed
    // yet, and in a verification run with a stored hash), marked updated;
    // null when none is left. A worker that got one is busy until ItemDone.
    CQmQuorviaItem* NextItem();
    void ItemDone();

    // True while some worker waits for an offer that no one has made yet.
    bool HasIdleWorker() const { return idle_.load(std::memory_order_acquire) > 0; }
    // Offers `readAhead` to a waiting worker; false (and nothing offered)
    // when none waits for one.
    bool Offer(CQmReadAhead* readAhead);
    // Takes back an offer no worker has taken yet; false when one has.
    bool Withdraw(CQmReadAhead* readAhead);
    // For a worker with nothing to claim: the next offer, or null once the
    // run is over for it (nothing to claim and no worker busy) or it was
    // asked to stop.
    CQmReadAhead* WaitForOffer(const CQmThreadObj& worker);
    // Wakes every worker waiting for an offer, so that one asked to stop
    // sees it.
    void WakeAll();

    CQmDeviceTurns& Turns() { return turns_; }
    uint32_t GetFilesReadAhead() const { return readAheads_.load(std::memory_order_acquire); }

    // A worker's end message; the last of them posts WMU_HASH_DONE (wParam 1
    // when every worker ended without an error text of its own).
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
    void PublishIdle();  // under lock_

    NotifyTarget* const target_;
    const uint32_t workers_;
    const bool verify_;
    CQmDeviceTurns turns_;

    std::atomic<size_t> cursor_{0};

    mutable std::mutex lock_;
    std::condition_variable wake_;
    uint32_t busy_ = 0;        // workers holding an item
    bool exhausted_ = false;   // a claim found no item left
    size_t waiting_ = 0;       // workers in WaitForOffer
    std::deque<CQmReadAhead*> offers_;
    // Waiting workers less the offers not yet taken, for the busy workers'
    // look without the lock.
    std::atomic<uint32_t> idle_{0};

    std::atomic<uint32_t> readAheads_{0};
    std::atomic<uint32_t> ended_{0};
    std::atomic<bool> clean_{true};
};

}  // namespace qm
