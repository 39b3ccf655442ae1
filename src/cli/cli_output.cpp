// Output of quorvia-cli (see cli_output.h).
#include "cli/cli_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/utf.h"

namespace qm::cli {

namespace {

// Written and read by the main thread only: worker threads never print.
int g_outputError = 0;

}  // namespace

void GuardStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open returns the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", O_RDONLY | O_NOCTTY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write that moves nothing without an error would spin.
            const int code = n < 0 ? errno : EIO;
            if ((fd == STDOUT_FILENO || fd == STDERR_FILENO) && g_outputError == 0) g_outputError = code;
            errno = code;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool PrintOut(std::u16string_view text) { return WriteAll(STDOUT_FILENO, PathToOs(text)); }

bool PrintErr(std::u16string_view text) { return WriteAll(STDERR_FILENO, PathToOs(text)); }

bool OutputFailed() { return g_outputError != 0; }

int OutputErrorCode() { return g_outputError; }

ProgressLine::ProgressLine() : enabled_(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(std::u16string_view text) {
    if (!enabled_) return;
    // Carriage return, the text, then erase what a longer previous line left.
    std::string line = "\r";
    line += PathToOs(text);
    line += "\x1b[K";
    WriteAll(STDERR_FILENO, line);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!enabled_ || !shown_) return;
    WriteAll(STDERR_FILENO, "\r\x1b[K");
    shown_ = false;
}

}  // namespace qm::cli
