// Output of quorvia-cli: UTF-8 on standard output and standard error, and
// the progress line redrawn on a terminal.
//
// Every write is checked. The first one that fails is remembered, and the
// run ends with OutputFailed() true: main reports it and exits with 2, so
// output that never arrived (a full disk, a closed stream, a reader that
// went away) is never taken for success.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::cli {

// Writes UTF-8 bytes (the list text) to standard output. False on error.
bool WriteOut(std::string_view bytes);

// Texts go out as UTF-8; file names that were not UTF-8 on disk go out as
// the bytes they have there.
bool PrintOut(std::u16string_view text);
bool PrintErr(std::u16string_view text);

// Whether a write to standard output or standard error failed, and the
// system's error code of the first failure.
bool OutputFailed();
uint32_t OutputErrorCode();

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
