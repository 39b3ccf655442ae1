// quorvia.exe: the Windows desktop program's entry point.
#include "desktop_win32/win32_api.h"
#include <shellapi.h>

#include <string>
#include <vector>

#include "desktop_win32/main_frame.h"
#include "desktop_win32/window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // The arguments as the system splits them, without the program itself.
    std::vector<std::u16string> arguments;
    int count = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.push_back(qm::win32::FromWide(argv[i]));
        LocalFree(argv);
    }
    return qm::win32::RunProgram(std::move(arguments), showCommand);
}
