// A few helper threads for one owner thread: the owner spreads one piece of
// work at a time over itself and the helpers (ForEach), and posts tasks that
// the helpers do in the background when no piece is on offer (Post). The
// enumeration uses them to list the directories ahead of it and to query the
// attributes of a large directory's files, on every core while no hashing
// worker runs yet.
//
// The helpers are started when work first comes, and end when the group is
// destroyed; tasks not started by then are dropped. Whatever a helper wrote
// while doing its part of a piece happens-before ForEach returns; a task
// publishes its results itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qm {

class CQmWorkShare {
public:
    explicit CQmWorkShare(uint32_t helpers);
    ~CQmWorkShare();
    CQmWorkShare(const CQmWorkShare&) = delete;
    CQmWorkShare& operator=(const CQmWorkShare&) = delete;

    // Calls work(i) once for every i in [0, count) and returns when all the
    // calls have returned. Small counts run on the calling thread alone;
    // so does all of it when no helper could be started.
    void ForEach(size_t count, const std::function<void(size_t)>& work);

    // Queues `task` for a helper; without helpers it is dropped, so a task
    // must be work the owner can also do itself when it needs the result.
    void Post(std::function<void()> task);

    // The helpers running now (for the tests).
    size_t GetHelperCount() const;

    // Indices handed out at a time: enough that the hand-out does not show
    // next to a query of the system, few enough to even out.
    static constexpr size_t kChunk = 16;

private:
    void StartHelpers();  // under lock_
    void HelperLoop();
    void RunChunks(const std::function<void(size_t)>& work, size_t count);

    const uint32_t wanted_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<std::thread> threads_;
    bool started_ = false;
    bool quit_ = false;
    // The piece of work on offer; null between pieces, so that a helper
    // that wakes late takes no part in one already finished.
    const std::function<void(size_t)>* work_ = nullptr;
    size_t count_ = 0;
    uint64_t generation_ = 0;
    uint32_t active_ = 0;  // helpers inside the piece on offer
    std::atomic<size_t> next_{0};
    std::deque<std::function<void()>> tasks_;
};

}  // namespace qm
