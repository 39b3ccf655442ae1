// The console layer of quorvia-cli on POSIX systems (see cli/console.h):
// descriptors 0 to 2, signals, and a self-pipe the signal handler writes to.
#include "cli/console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "common/os/file.h"
#include "common/utf.h"

namespace qm::cli {

namespace {

int Descriptor(Stream stream) { return stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO; }

// Every byte, continuing after short writes and EINTR.
uint32_t WriteFd(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write that moves nothing without an error would spin.
            const int code = n < 0 ? errno : EIO;
            errno = code;
            return static_cast<uint32_t>(code);
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Used by the handler on whatever thread takes the signal, and read by the
// main thread: lock-free atomics are safe in a handler, and a plain
// sig_atomic_t is only so for the thread the signal interrupts.
std::atomic<int> g_wakeFd{-1};
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signo) {
    const int saved = errno;
    int none = 0;
    g_stopSignal.compare_exchange_strong(none, signo);
    const int fd = g_wakeFd.load();
    if (fd >= 0) {
        const char byte = 'i';
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

void GuardStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open returns the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", O_RDONLY | O_NOCTTY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

std::u16string ArgumentText(std::u16string_view arg) { return Utf8ToUtf16Lossy(PathToOs(arg)); }

std::u16string PathArgument(std::u16string_view arg) { return std::u16string(arg); }

bool IsTerminal(Stream stream) { return ::isatty(Descriptor(stream)) == 1; }

uint32_t WriteBytes(Stream stream, std::string_view utf8) { return WriteFd(Descriptor(stream), utf8); }

uint32_t WriteText(Stream stream, std::u16string_view text) { return WriteFd(Descriptor(stream), PathToOs(text)); }

uint32_t ReadStandardInput(std::string& bytes, uint64_t limit, bool& tooLarge) {
    tooLarge = false;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return static_cast<uint32_t>(errno);
        if (n == 0) return 0;
        if (bytes.size() + static_cast<size_t>(n) > limit) {
            tooLarge = true;
            return 0;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

uint32_t DrawStatusLine(Stream stream, std::u16string_view text) {
    // Carriage return, the text, then erase what a longer previous line left.
    std::string line = "\r";
    line += PathToOs(text);
    line += "\x1b[K";
    return WriteFd(Descriptor(stream), line);
}

uint32_t EraseStatusLine(Stream stream) { return WriteFd(Descriptor(stream), "\r\x1b[K"); }

uint32_t ProbePath(std::u16string_view path, bool& missing) {
    struct stat st;
    missing = false;
    if (::stat(PathToOs(path).c_str(), &st) == 0) return 0;
    const int code = errno;
    missing = code == ENOENT || code == ENOTDIR;
    return static_cast<uint32_t>(code);
}

uint32_t WorkingDirectoryError() {
    std::vector<char> buffer(4096);
    const char* cwd;
    while ((cwd = ::getcwd(buffer.data(), buffer.size())) == nullptr && errno == ERANGE)
        buffer.resize(buffer.size() * 2);
    // "(unreachable)/...": the directory was removed.
    return static_cast<uint32_t>(cwd ? ENOENT : errno);
}

void InstallStopHandlers() {
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

int StopSignal() { return g_stopSignal.load(); }

struct WakeChannel::State {
    os::UniqueFile readEnd;
    os::UniqueFile writeEnd;
};

WakeChannel::WakeChannel() : state_(std::make_unique<State>()) {}

WakeChannel::~WakeChannel() {
    int mine = state_->writeEnd.get();
    g_wakeFd.compare_exchange_strong(mine, -1);
}

bool WakeChannel::Open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    state_->readEnd.reset(fds[0]);
    state_->writeEnd.reset(fds[1]);
    g_wakeFd.store(state_->writeEnd.get());
    return true;
}

void WakeChannel::Wake() {
    const char byte = 'm';
    // A full pipe already holds a wake-up; nothing is lost by dropping this.
    while (::write(state_->writeEnd.get(), &byte, 1) < 0 && errno == EINTR) {
    }
}

bool WakeChannel::Wait(int timeoutMs) {
    struct pollfd pfd {state_->readEnd.get(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, timeoutMs);
    // A signal cut the wait short: the caller looks at the stop state.
    if (ready < 0 && errno == EINTR) return true;
    // Timed out, or poll failed (which a pipe does not do).
    if (ready <= 0) return false;
    char drain[64];
    while (::read(state_->readEnd.get(), drain, sizeof drain) > 0) {
    }
    return true;
}

}  // namespace qm::cli

int main(int argc, char** argv) {
    // Before anything opens a file, which could otherwise take the number of
    // a closed standard stream.
    qm::cli::GuardStandardStreams();
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(qm::PathFromOs(argv[i]));
    return qm::cli::Main(args);
}
