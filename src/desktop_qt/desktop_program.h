// The desktop program from start to end: identity, translations, resources,
// prompts, engines and icons, the main window, the event loop, and a
// shutdown in which no worker thread outlives the window.
//
// main() is only this call; tests run the same sequence in a child process
// with their own prompts and dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "desktop_qt/main_frame.h"

class QApplication;

namespace qm {

struct QmDesktopHooks {
    // Window options; `arguments` is replaced by the program's arguments.
    CMainFrameOptions frame;
    // Called once the window is shown, before the event loop runs.
    std::function<void(CMainFrame&)> started;
};

// Runs the program on `app` with the command line `arguments` (without the
// program itself). Returns the exit code: 1 after the window was closed.
// Installs the real boxes and dialogs unless prompts are installed already.
int RunDesktopProgram(QApplication& app, std::vector<std::u16string> arguments, QmDesktopHooks hooks = {});

}  // namespace qm
