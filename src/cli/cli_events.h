// The wait loop of quorvia-cli.
//
// The main thread drives a task the way the desktop program's window does:
// it starts a phase, then waits for the worker threads' end messages, waking
// once a second to redraw the progress line. The end messages arrive through
// NotifyTarget::Post on a worker thread, and a stop signal (SIGINT from
// Ctrl+C, SIGTERM, SIGHUP) arrives on any thread; both only write one byte
// into a pipe the main thread polls, so the signal handler does nothing that
// is unsafe there and no work happens outside the main thread.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "common/os/file.h"
#include "pipeline/notify_target.h"

namespace qm::cli {

// Routes SIGINT, SIGTERM and SIGHUP to the stop flag and the running event
// loop: the first one stops the run as the stop command does; the handler
// of a signal that came returns to the default, so the same signal again
// ends a process that does not stop. A signal inherited as ignored stays ignored. Called before any
// thread starts, so every thread inherits the same mask and every signal
// finds the handler.
void InstallStopSignals();

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

    // Creates the pipe the stop signals are routed to. False (errno set)
    // when the pipe cannot be made.
    bool Init();

    // Worker threads: queues the message and wakes the main thread.
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    enum class Event { Message, Interrupt, Timeout };

    // Waits up to `timeoutMs` (-1: no limit). An interrupt is reported once,
    // before any message; then queued messages one per call.
    Event Wait(int timeoutMs, Message& message);

    // True once a stop signal came (whether or not Wait reported it yet).
    static bool Interrupted();
    // The first stop signal that came, 0 before one did.
    static int StopSignal();

private:
    void Wake();

    os::UniqueFile readEnd_;
    os::UniqueFile writeEnd_;
    std::mutex lock_;
    std::deque<Message> queue_;
    bool interruptReported_ = false;
};

}  // namespace qm::cli
