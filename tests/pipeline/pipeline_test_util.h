// Helpers shared by the pipeline tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "pipeline/notify_target.h"

namespace qm::test {

struct PostedMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Collects posted messages; the test thread waits for them as a front end's
// own thread would.
class RecordingTarget : public NotifyTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back({message, wParam, lParam});
        }
        cv_.notify_all();
    }

    // The next message, or nothing when none came within the limit (a
    // generous guard against a hang, not a timing check).
    std::optional<PostedMessage> Next(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, limit, [this] { return !messages_.empty(); })) return std::nullopt;
        PostedMessage m = messages_.front();
        messages_.pop_front();
        return m;
    }

    size_t Pending() {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<PostedMessage> messages_;
};

}  // namespace qm::test
