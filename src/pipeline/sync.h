// Event and counting semaphore on std::mutex + std::condition_variable.
//
// The worker threads block in two places: on a queue's semaphore while they
// wait for a buffer, and on their own thread's end while the controller waits
// for them. A blocked queue wait must also end when the waiting thread is
// asked to stop, so a semaphore wait can name an event that interrupts it:
// the event keeps a list of the semaphores currently waiting with it and
// wakes them when it is set.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qm {

// Time-out value meaning "no limit".
inline constexpr uint32_t QM_INFINITE = 0xFFFFFFFFu;

class Semaphore;

class Event {
public:
    // An auto-reset event is consumed by the one wait it ends; a manual-reset
    // event stays set until Reset.
    explicit Event(bool manualReset = false, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const { return signalled_.load(std::memory_order_acquire); }

    // True when the event was (or became) set within the time-out; an
    // auto-reset event is then cleared again.
    bool Wait(uint32_t timeoutMs = QM_INFINITE);

private:
    friend class Semaphore;
    bool TryConsume();
    void AddWatcher(Semaphore* semaphore);
    void RemoveWatcher(Semaphore* semaphore);

    std::atomic<bool> signalled_;
    const bool manualReset_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Semaphore*> watchers_;  // guarded by mutex_
};

class Semaphore {
public:
    enum class WaitResult { Acquired, Interrupted };

    // How long a waiter polls before it goes to sleep. Between the reader
    // and the hasher a unit usually arrives within a few microseconds (one
    // small file's open and read); sleeping and being woken costs two system
    // calls and two context switches per buffer, which dominates a run over
    // many small files. A few tens of microseconds of polling is far below
    // what a sleeping wait would cost a busy run and invisible in an idle
    // one. Where a wait is expected to be long (a unit per large block), a
    // semaphore is made with fewer rounds, so that polling does not take a
    // core another thread could use.
    static constexpr int kDefaultSpinRounds = 2000;
    Semaphore(uint32_t initialCount, uint32_t maximumCount, int spinRounds = kDefaultSpinRounds);
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Waits without limit for a unit of the count, or until `interrupt` is
    // set. When both are available the count wins, as it does when a
    // semaphore is listed before the stop event in a multi-object wait. An
    // interrupting auto-reset event is consumed.
    WaitResult Acquire(Event* interrupt = nullptr);

    // Takes a unit when one is available, without waiting.
    bool TryAcquire();

    // Raises the count; false (and no change) when that would pass the
    // maximum. Sleeping waiters are woken only once the count has reached
    // `wakeAt`: a producer that hands over many units can let its consumer
    // sleep until a batch is there (the last unit must then wake it).
    bool Release(uint32_t count = 1, uint32_t wakeAt = 1);

    uint32_t GetCount() const;

private:
    friend class Event;
    void Wake();

    // The count is an atomic so that a unit can be taken or given without
    // the lock; the lock and the condition only serve threads that sleep.
    // `waiters_` tells Release whether anyone may be asleep: both sides use
    // sequentially consistent operations, so either the releaser sees the
    // waiter or the waiter's check under the lock sees the new count.
    std::mutex mutex_;
    std::condition_variable cv_;
    std::atomic<uint32_t> count_;
    std::atomic<uint32_t> waiters_{0};
    const uint32_t maximum_;
    const int spinRounds_;
};

}  // namespace qm
