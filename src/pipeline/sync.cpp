#include "pipeline/sync.h"

#include <algorithm>
#include <chrono>

namespace qm {

Event::Event(bool manualReset, bool initiallySet) : signalled_(initiallySet), manualReset_(manualReset) {}

void Event::Set() {
    // The flag is published under the lock, and the waiters are woken before
    // it is let go: whoever waits may destroy the event the moment its wait
    // ends, so this must be done with it by then. It is also published
    // before any semaphore waiter is woken: one tests it under its own lock
    // after registering here, so it either sees the flag or is already
    // asleep when Wake reaches it.
    std::lock_guard lock(mutex_);
    signalled_.store(true, std::memory_order_release);
    cv_.notify_all();
    for (Semaphore* semaphore : watchers_) semaphore->Wake();
}

void Event::Reset() { signalled_.store(false, std::memory_order_release); }

bool Event::TryConsume() {
    if (manualReset_) return signalled_.load(std::memory_order_acquire);
    bool expected = true;
    return signalled_.compare_exchange_strong(expected, false, std::memory_order_acq_rel);
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return TryConsume(); };
    if (timeoutMs == QM_INFINITE) {
        cv_.wait(lock, ready);
        return true;
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

void Event::AddWatcher(Semaphore* semaphore) {
    std::lock_guard lock(mutex_);
    watchers_.push_back(semaphore);
}

void Event::RemoveWatcher(Semaphore* semaphore) {
    std::lock_guard lock(mutex_);
    const auto it = std::find(watchers_.begin(), watchers_.end(), semaphore);
    if (it != watchers_.end()) watchers_.erase(it);
}

Semaphore::Semaphore(uint32_t initialCount, uint32_t maximumCount, int spinRounds)
    : count_(std::min(initialCount, maximumCount)), maximum_(maximumCount), spinRounds_(spinRounds) {}

namespace {

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

Semaphore::WaitResult Semaphore::Acquire(Event* interrupt) {
    // A free count wins over a set event.
    for (int round = 0; round < spinRounds_; ++round) {
        if (TryAcquire()) return WaitResult::Acquired;
        if (interrupt && interrupt->IsSet()) break;
        CpuRelax();
    }
    // Registration happens outside our own lock: Event::Set holds the
    // event's lock while it takes ours, so the reverse order must not occur.
    if (interrupt) interrupt->AddWatcher(this);
    bool acquired = false;
    {
        std::unique_lock lock(mutex_);
        waiters_.fetch_add(1, std::memory_order_seq_cst);
        cv_.wait(lock, [&] {
            acquired = TryAcquire();
            return acquired || (interrupt && interrupt->IsSet());
        });
        waiters_.fetch_sub(1, std::memory_order_seq_cst);
    }
    if (!interrupt) return WaitResult::Acquired;
    if (!acquired) interrupt->TryConsume();
    interrupt->RemoveWatcher(this);
    return acquired ? WaitResult::Acquired : WaitResult::Interrupted;
}

bool Semaphore::TryAcquire() {
    uint32_t count = count_.load(std::memory_order_seq_cst);
    while (count > 0) {
        if (count_.compare_exchange_weak(count, count - 1, std::memory_order_seq_cst)) return true;
    }
    return false;
}

bool Semaphore::Release(uint32_t count, uint32_t wakeAt) {
    uint32_t current = count_.load(std::memory_order_seq_cst);
    do {
        if (count > maximum_ - current) return false;
    } while (!count_.compare_exchange_weak(current, current + count, std::memory_order_seq_cst));
    if (current + count >= wakeAt && waiters_.load(std::memory_order_seq_cst) > 0) {
        std::lock_guard lock(mutex_);
        cv_.notify_all();
    }
    return true;
}

uint32_t Semaphore::GetCount() const { return count_.load(std::memory_order_acquire); }

void Semaphore::Wake() {
    // Taking the lock orders this wake after a waiter's test of the event.
    std::lock_guard lock(mutex_);
    cv_.notify_all();
}

}  // namespace qm
