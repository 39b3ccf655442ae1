// The wait loop of quorvia-cli (see cli_events.h).
#include "cli/cli_events.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace qm::cli {

namespace {

// Set before the handler is installed, read by the handler: a plain int that
// never changes while the handler can run is safe to read there.
int g_wakeFd = -1;
volatile sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    const int saved = errno;
    g_interrupted = 1;
    if (g_wakeFd >= 0) {
        const char byte = 'i';
        [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

EventLoop::~EventLoop() {
    if (g_wakeFd == writeEnd_.get()) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        g_wakeFd = -1;
    }
}

bool EventLoop::Init() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readEnd_.reset(fds[0]);
    writeEnd_.reset(fds[1]);
    g_wakeFd = writeEnd_.get();
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0;
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

bool EventLoop::Interrupted() { return g_interrupted != 0; }

EventLoop::Event EventLoop::Wait(int timeoutMs, Message& message) {
    for (;;) {
        if (g_interrupted && !interruptReported_) {
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
