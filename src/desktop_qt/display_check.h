// Whether the desktop program has a screen to open its window on.
//
// Started from a terminal without a graphical session, Qt would only report
// that its platform plugin failed and abort; the program says instead, in the
// user's language, that quorvia-cli is the way to work there. The decision is
// made before QApplication exists, from the environment and the command line.
#pragma once

#include <span>
#include <string>

namespace qm {

// What Qt would look at to choose and reach its window system.
struct DisplayEnvironment {
    std::string display{};         // DISPLAY
    std::string waylandDisplay{};  // WAYLAND_DISPLAY
    std::string qpaPlatform{};     // QT_QPA_PLATFORM
    std::string platformOption{};  // the value of -platform on the command line
};

// Reads the variables of the process and the -platform option of `args`
// (the arguments after the program's name).
DisplayEnvironment CurrentDisplayEnvironment(std::span<const char* const> args);

// True when Qt can start: a display is named, or the platform chosen (the
// command line's over the variable's; any entry of a ";" list) needs none.
bool CanOpenWindows(const DisplayEnvironment& environment);

// The one line (with its line feed) printed when CanOpenWindows is false.
std::string NoDisplayMessage();

// The exit code that goes with it: the program could not run as asked.
inline constexpr int kExitNoDisplay = 2;

}  // namespace qm
