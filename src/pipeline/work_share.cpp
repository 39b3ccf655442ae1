#include "pipeline/work_share.h"

#include <algorithm>
#include <system_error>

#include "common/os/thread.h"

namespace qm {

CQmWorkShare::CQmWorkShare(uint32_t helpers) : wanted_(helpers) {}

CQmWorkShare::~CQmWorkShare() {
    {
        std::lock_guard guard(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    tasks_.clear();
}

size_t CQmWorkShare::GetHelperCount() const {
    std::lock_guard guard(lock_);
    return threads_.size();
}

void CQmWorkShare::StartHelpers() {
    started_ = true;
    for (uint32_t i = 0; i < wanted_; ++i) {
        try {
            threads_.emplace_back([this] { HelperLoop(); });
        } catch (const std::system_error&) {
            // Fewer helpers (or none) only make the work slower.
            break;
        }
    }
}

void CQmWorkShare::RunChunks(const std::function<void(size_t)>& work, size_t count) {
    for (;;) {
        const size_t begin = next_.fetch_add(kChunk, std::memory_order_relaxed);
        if (begin >= count) return;
        const size_t end = std::min(count, begin + kChunk);
        for (size_t i = begin; i < end; ++i) work(i);
    }
}

void CQmWorkShare::Post(std::function<void()> task) {
    {
        std::lock_guard guard(lock_);
        if (!started_) StartHelpers();
        if (threads_.empty()) return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void CQmWorkShare::HelperLoop() {
    os::SetCurrentThreadName("qm-enum-help");
    uint64_t seen = 0;
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] { return quit_ || (work_ && generation_ != seen) || !tasks_.empty(); });
        if (quit_) return;
        if (!work_ || generation_ == seen) {
            // The owner's piece, when there is one, goes first: it waits for it.
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            guard.unlock();
            task();
            task = nullptr;  // what it holds goes before the lock is taken
            guard.lock();
            continue;
        }
        seen = generation_;
        const std::function<void(size_t)>* work = work_;
        const size_t count = count_;
        ++active_;
        guard.unlock();
        RunChunks(*work, count);
        guard.lock();
        if (--active_ == 0) idle_.notify_all();
    }
}

void CQmWorkShare::ForEach(size_t count, const std::function<void(size_t)>& work) {
    if (wanted_ == 0 || count < 2 * kChunk) {
        for (size_t i = 0; i < count; ++i) work(i);
        return;
    }
    {
        std::lock_guard guard(lock_);
        if (!started_) StartHelpers();
        next_.store(0, std::memory_order_relaxed);
        work_ = &work;
        count_ = count;
        ++generation_;
    }
    wake_.notify_all();
    RunChunks(work, count);
    // Every index has been handed out; wait for the helpers still inside,
    // and let none join after.
    std::unique_lock guard(lock_);
    idle_.wait(guard, [&] { return active_ == 0; });
    work_ = nullptr;
}

}  // namespace qm
