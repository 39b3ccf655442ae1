// Output of quorvia-cli: UTF-8 on standard output and standard error, and
// the progress line redrawn on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace qm::cli {

// Writes every byte, continuing after short writes and EINTR. False on error.
bool WriteAll(int fd, std::string_view bytes);

// Texts go out as UTF-8; file names that were not UTF-8 on disk go out as
// the bytes they have there.
bool PrintOut(std::u16string_view text);
bool PrintErr(std::u16string_view text);

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
