// The wait loop of quorvia-cli (see cli_events.h).
#include "cli/cli_events.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace qm::cli {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Read by the handler on whatever thread takes the signal; a lock-free atomic
// is safe to use there.
std::atomic<int> g_wakeFd{-1};
volatile sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signo) {
    const int saved = errno;
    if (g_stopSignal == 0) g_stopSignal = signo;
    const int fd = g_wakeFd.load();
    if (fd >= 0) {
        const char byte = 'i';
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

void InstallStopSignals() {
    static_assert(std::atomic<int>::is_always_lock_free);
    for (const int signo : kStopSignals) {
        struct sigaction old {};
        // A signal the parent set to be ignored (a background job's SIGINT,
        // nohup's SIGHUP) stays ignored.
        if (::sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        for (const int other : kStopSignals) sigaddset(&action.sa_mask, other);
        // The first signal stops the run; the handler then returns to the
        // default, so a second one ends a process that does not stop.
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        ::sigaction(signo, &action, nullptr);
    }
}

EventLoop::~EventLoop() {
    int mine = writeEnd_.get();
    g_wakeFd.compare_exchange_strong(mine, -1);
}

bool EventLoop::Init() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readEnd_.reset(fds[0]);
    writeEnd_.reset(fds[1]);
    g_wakeFd.store(writeEnd_.get());
    // A signal that came before the pipe existed still wakes the first Wait,
    // which looks at the flag before it polls.
    return true;
}

void EventLoop::Wake() {
    const char byte = 'm';
    // A full pipe already holds a wake-up; nothing is lost by dropping this.
    while (::write(writeEnd_.get(), &byte, 1) < 0 && errno == EINTR) {
    }
}

void EventLoop::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back({message, wParam, lParam});
    }
    Wake();
}

bool EventLoop::Interrupted() { return g_stopSignal != 0; }

int EventLoop::StopSignal() { return g_stopSignal; }

EventLoop::Event EventLoop::Wait(int timeoutMs, Message& message) {
    for (;;) {
        if (g_stopSignal != 0 && !interruptReported_) {
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
        struct pollfd pfd {readEnd_.get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        // Timed out, or poll failed (which a pipe does not do): the caller
        // redraws and calls again.
        if (ready <= 0) return Event::Timeout;
        char drain[64];
        while (::read(readEnd_.get(), drain, sizeof drain) > 0) {
        }
    }
}

}  // namespace qm::cli
