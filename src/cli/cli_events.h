// The wait loop of quorvia-cli.
//
// The main thread drives a task the way the desktop program's window does:
// it starts a phase, then waits for the worker threads' end messages, waking
// once a second to redraw the progress line. The end messages arrive through
// NotifyTarget::Post on a worker thread, and a stop request (Ctrl+C, and
// SIGTERM and SIGHUP or Ctrl+Break and closing the console) arrives on any
// thread; both only wake the main thread through the console layer's wake
// channel, so the handler does nothing that is unsafe there and no work
// happens outside the main thread.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "cli/console.h"
#include "pipeline/notify_target.h"

namespace qm::cli {

struct Message {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class EventLoop final : public NotifyTarget {
public:
    EventLoop() = default;
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Opens the wake channel the stop requests are routed to. False (the
    // system's last error set) when it cannot be made.
    bool Init();

    // Worker threads: queues the message and wakes the main thread.
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    enum class Event { Message, Interrupt, Timeout };

    // Waits up to `timeoutMs` (-1: no limit). An interrupt is reported once,
    // before any message; then queued messages one per call.
    Event Wait(int timeoutMs, Message& message);

    // True once a stop request came (whether or not Wait reported it yet).
    static bool Interrupted();
    // The signal number of the first stop request, 0 before one came.
    static int StopSignal();

private:
    WakeChannel wake_;
    std::mutex lock_;
    std::deque<Message> queue_;
    bool interruptReported_ = false;
};

}  // namespace qm::cli
