// The console layer of quorvia-cli: everything the command-line program asks
// of the operating system beyond the core, behind one interface so the
// commands, the output and the wait loop are the same source on every
// system. posix/console.cpp and win32/console.cpp implement it; the build
// takes the one of its system.
//
// Error codes are the system's own (errno values, Win32 codes), so the error
// record finds the system's text for them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qm::cli {

// The program proper, after the system's entry point has taken the
// arguments (without the program's own name) as UTF-16.
int Main(std::span<const std::u16string> args);

enum class Stream { Output, Error };

// Makes sure the standard streams are in place before anything else opens a
// file: where a closed stream's number could be handed to the next file the
// program opens, it is taken by a read-only null device, so writes to it fail
// (instead of landing in that file) and are reported.
void GuardStandardStreams();

// An argument as the user typed it, for messages: what cannot be shown is
// replaced by U+FFFD.
std::u16string ArgumentText(std::u16string_view arg);

// A path given on the command line, in the form the core takes; either
// separator is accepted where the system has two.
std::u16string PathArgument(std::u16string_view arg);

// Whether the stream goes to a terminal or console window.
bool IsTerminal(Stream stream);

// Writes every byte of UTF-8 text (a console shows it as text). 0 when all
// of it went out, else the system's error code.
uint32_t WriteBytes(Stream stream, std::string_view utf8);

// Writes text; file names that were not UTF-8 on disk go out as the bytes
// they have there.
uint32_t WriteText(Stream stream, std::u16string_view text);

// Reads standard input to its end into `bytes` (a list given as "-"). 0 on
// success, else the system's error code; `tooLarge` when more than `limit`
// bytes came (then the reading stops there, and the result is 0).
uint32_t ReadStandardInput(std::string& bytes, uint64_t limit, bool& tooLarge);

// The one-line display on a terminal: draws `text` over the previous line,
// and removes it. 0 or the system's error code.
uint32_t DrawStatusLine(Stream stream, std::u16string_view text);
uint32_t EraseStatusLine(Stream stream);

// 0 when something is at `path` (absolute). Otherwise the system's code,
// with `missing` true when the code means nothing is there (as opposed to a
// path that exists but cannot be examined).
uint32_t ProbePath(std::u16string_view path, bool& missing);

// Why a path made absolute stayed relative: the system's code of the failure
// to determine the working directory, or the "not found" code when the
// working directory was removed.
uint32_t WorkingDirectoryError();

// Routes the stop requests of the terminal or console (Ctrl+C; on POSIX also
// SIGTERM and SIGHUP; on Windows also Ctrl+Break and closing the console) to
// the stop state and the open wake channel. The first one stops the run; a
// second one ends the process as if nothing handled it. A request the parent
// set to be ignored stays ignored. Called before any thread starts.
void InstallStopHandlers();

// The signal number the first stop request counts as (0 before one came):
// the exit code is 128 plus it, as shells report a process a signal ended.
int StopSignal();

// The wake-up of the main thread's wait: worker threads and stop requests
// wake it; wake-ups that come while it is not waiting are kept (merged into
// one) for the next wait.
class WakeChannel {
public:
    WakeChannel();
    ~WakeChannel();
    WakeChannel(const WakeChannel&) = delete;
    WakeChannel& operator=(const WakeChannel&) = delete;

    // Makes the channel and makes it the target of stop requests. False
    // (the system's last error set) when it cannot be made.
    bool Open();

    // Any thread.
    void Wake();

    // Waits up to `timeoutMs` (-1: no limit). True when woken (or the wait
    // was cut short and the caller should look again), false on time-out.
    bool Wait(int timeoutMs);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qm::cli
