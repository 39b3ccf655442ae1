// Output of quorvia-cli (see cli_output.h).
#include "cli/cli_output.h"

#include <unistd.h>

#include <cerrno>

#include "common/utf.h"

namespace qm::cli {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool PrintOut(std::u16string_view text) { return WriteAll(STDOUT_FILENO, PathToOs(text)); }

bool PrintErr(std::u16string_view text) { return WriteAll(STDERR_FILENO, PathToOs(text)); }

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
