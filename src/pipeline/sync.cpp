#include "pipeline/sync.h"

#include <algorithm>
#include <chrono>

namespace qm {

Event::Event(bool manualReset, bool initiallySet) : signalled_(initiallySet), manualReset_(manualReset) {}

void Event::Set() {
    // The flag is published before any waiter is woken: a semaphore waiter
    // tests it under its own lock after registering here, so it either sees
    // the flag or is already asleep when Wake reaches it.
    signalled_.store(true, std::memory_order_release);
    std::lock_guard lock(mutex_);
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

Semaphore::Semaphore(uint32_t initialCount, uint32_t maximumCount)
    : count_(std::min(initialCount, maximumCount)), maximum_(maximumCount) {}

Semaphore::WaitResult Semaphore::Acquire(Event* interrupt) {
    if (!interrupt) {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return count_ > 0; });
        --count_;
        return WaitResult::Acquired;
    }
    // A free count wins over a set event, so the common case of a buffer
    // being there needs neither the event's lock nor its watcher list.
    if (TryAcquire()) return WaitResult::Acquired;
    // Registration happens outside our own lock: Event::Set holds the
    // event's lock while it takes ours, so the reverse order must not occur.
    interrupt->AddWatcher(this);
    WaitResult result;
    {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return count_ > 0 || interrupt->IsSet(); });
        if (count_ > 0) {
            --count_;
            result = WaitResult::Acquired;
        } else {
            interrupt->TryConsume();
            result = WaitResult::Interrupted;
        }
    }
    interrupt->RemoveWatcher(this);
    return result;
}

bool Semaphore::TryAcquire() {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return false;
    --count_;
    return true;
}

bool Semaphore::Release(uint32_t count) {
    {
        std::lock_guard lock(mutex_);
        if (count > maximum_ - count_) return false;
        count_ += count;
    }
    cv_.notify_all();
    return true;
}

uint32_t Semaphore::GetCount() const {
    std::lock_guard lock(mutex_);
    return count_;
}

void Semaphore::Wake() {
    // Taking the lock orders this wake after a waiter's test of the event.
    std::lock_guard lock(mutex_);
    cv_.notify_all();
}

}  // namespace qm
