// quorvia: the desktop program.
#include <QApplication>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "desktop_qt/desktop_program.h"
#include "desktop_qt/display_check.h"
#include "common/utf.h"

int main(int argc, char** argv) {
    // Before QApplication: without a display Qt would abort with its own
    // message about the platform plugin.
    const std::span<const char* const> args(argv + 1, argc > 0 ? argc - 1 : 0);
    if (!qm::CanOpenWindows(qm::CurrentDisplayEnvironment(args))) {
        std::fputs(qm::NoDisplayMessage().c_str(), stderr);
        return qm::kExitNoDisplay;
    }
    QApplication app(argc, argv);
    // QApplication has taken its own options out of argv.
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(qm::PathFromOs(argv[i]));
    return qm::RunDesktopProgram(app, std::move(arguments));
}
