// The wait loop of quorvia-cli (see cli_events.h).
#include "cli/cli_events.h"

namespace qm::cli {

EventLoop::~EventLoop() = default;

bool EventLoop::Init() {
    // A stop request that came before the channel existed still ends the
    // first Wait, which looks at the stop state before it waits.
    return wake_.Open();
}

void EventLoop::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back({message, wParam, lParam});
    }
    wake_.Wake();
}

bool EventLoop::Interrupted() { return qm::cli::StopSignal() != 0; }

int EventLoop::StopSignal() { return qm::cli::StopSignal(); }

EventLoop::Event EventLoop::Wait(int timeoutMs, Message& message) {
    for (;;) {
        if (Interrupted() && !interruptReported_) {
            interruptReported_ = true;
            return Event::Interrupt;
        }
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!queue_.empty()) {
                message = queue_.front();
                queue_.pop_front();
                return Event::Message;
            }
        }
        // Timed out: the caller redraws and calls again.
        if (!wake_.Wait(timeoutMs)) return Event::Timeout;
    }
}

}  // namespace qm::cli
