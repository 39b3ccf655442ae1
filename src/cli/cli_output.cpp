// Output of quorvia-cli (see cli_output.h).
#include "cli/cli_output.h"

#include "cli/console.h"

namespace qm::cli {

namespace {

// Written and read by the main thread only: worker threads never print.
uint32_t g_outputError = 0;

bool Checked(uint32_t code) {
    if (code == 0) return true;
    if (g_outputError == 0) g_outputError = code;
    return false;
}

}  // namespace

bool WriteOut(std::string_view bytes) { return Checked(WriteBytes(Stream::Output, bytes)); }

bool PrintOut(std::u16string_view text) { return Checked(WriteText(Stream::Output, text)); }

bool PrintErr(std::u16string_view text) { return Checked(WriteText(Stream::Error, text)); }

bool OutputFailed() { return g_outputError != 0; }

uint32_t OutputErrorCode() { return g_outputError; }

ProgressLine::ProgressLine() : enabled_(IsTerminal(Stream::Error)) {}

void ProgressLine::Show(std::u16string_view text) {
    if (!enabled_) return;
    Checked(DrawStatusLine(Stream::Error, text));
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!enabled_ || !shown_) return;
    Checked(EraseStatusLine(Stream::Error));
    shown_ = false;
}

}  // namespace qm::cli
