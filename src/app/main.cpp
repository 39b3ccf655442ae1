// quorvia: the desktop program.
#include <QApplication>

#include <string>
#include <vector>

#include "app/desktop_program.h"
#include "common/utf.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // QApplication has taken its own options out of argv.
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(qm::PathFromOs(argv[i]));
    return qm::RunDesktopProgram(app, std::move(arguments));
}
