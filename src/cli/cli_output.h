// Output of quorvia-cli: UTF-8 on standard output and standard error, and
// the progress line redrawn on a terminal.
//
// Every write is checked. The first one that fails is remembered, and the
// run ends with OutputFailed() true: main reports it and exits with 2, so
// output that never arrived (a full disk, a closed descriptor, a reader that
// went away) is never taken for success.
#pragma once

#include <string>
#include <string_view>

namespace qm::cli {

// Makes sure descriptors 0, 1 and 2 are open before anything else opens a
// file: a standard stream that was closed is taken by a read-only
// /dev/null, so writes to it fail (instead of landing in a pipe or file the
// program opened later) and are reported.
void GuardStandardDescriptors();

// Writes every byte, continuing after short writes and EINTR. False on
// error; a failure on standard output or standard error is remembered.
bool WriteAll(int fd, std::string_view bytes);

// Texts go out as UTF-8; file names that were not UTF-8 on disk go out as
// the bytes they have there.
bool PrintOut(std::u16string_view text);
bool PrintErr(std::u16string_view text);

// Whether a write to standard output or standard error failed, and the
// errno value of the first failure.
bool OutputFailed();
int OutputErrorCode();

// The one-line progress display on standard error. It draws only when
// standard error is a terminal; Clear removes the line before other output.
class ProgressLine {
public:
    ProgressLine();
    bool Enabled() const { return enabled_; }
    void Show(std::u16string_view text);
    void Clear();

private:
    bool enabled_ = false;
    bool shown_ = false;
};

}  // namespace qm::cli
