// window_probe.exe: the installer test's eyes on the installed program's
// windows, from a process of its own, as Explorer's users would see them.
// Prints UTF-8 lines to stdout:
//   frames               the title of each visible main frame
//   dialog-paths         column 0 of each row of the new-task dialog's path list
//   wait-frames N [ms]   waits until exactly N frames are visible
//   wait-dialog [ms]     waits until the new-task dialog is there
//   close                closes the dialogs, then the frames, and waits for
//                        their processes to end
//   start COMMAND        starts a command line as Explorer does a verb's
//                        (CreateProcessW, the line as it is), not waiting
//   run COMMAND [ms]     the same, waiting: exits with the program's code
//                        (124 when the time was up)
// Exit 0 on success, 1 on a timeout or a failure, 2 on bad arguments.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t kFrameClass[] = L"Quorvia.MainFrame";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kNewTaskCaption[] = L"新建校验任务";
constexpr int kPathListId = 1000;
constexpr int kDefaultTimeoutMs = 20000;

// A kernel handle, closed once; memory in another process, released there.
struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, CloseKernelHandle>;
struct FreeRemoteMemory {
    HANDLE process;
    void operator()(void* address) const { VirtualFreeEx(process, address, 0, MEM_RELEASE); }
};
using RemoteMemory = std::unique_ptr<char, FreeRemoteMemory>;

void PrintLine(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
    utf8 += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<HWND> TopLevelWindows(const std::function<bool(HWND)>& wanted) {
    struct Search {
        const std::function<bool(HWND)>* wanted;
        std::vector<HWND> found;
    } search{&wanted, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if ((*s->wanted)(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsFrame(HWND window) { return IsWindowVisible(window) && ClassName(window) == kFrameClass; }

std::vector<HWND> Frames() { return TopLevelWindows(IsFrame); }

// The new-task dialogs: owned by a frame, which they hold disabled.
std::vector<HWND> NewTaskDialogs() {
    return TopLevelWindows([](HWND window) {
        const HWND owner = GetWindow(window, GW_OWNER);
        return ClassName(window) == kDialogClass && WindowText(window) == kNewTaskCaption && owner &&
               ClassName(owner) == kFrameClass;
    });
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A list view in another process fills only buffers in its own address
// space: the item and its text go through memory allocated there.
bool PrintDialogPaths() {
    const std::vector<HWND> dialogs = NewTaskDialogs();
    if (dialogs.size() != 1) {
        std::fprintf(stderr, "window_probe: %zu new-task dialogs, expected 1\n", dialogs.size());
        return false;
    }
    const HWND list = GetDlgItem(dialogs.front(), kPathListId);
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    const Handle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!list || !process) {
        std::fprintf(stderr, "window_probe: the path list or its process cannot be reached\n");
        return false;
    }
    constexpr int kTextChars = 32768;
    const RemoteMemory remote(static_cast<char*>(VirtualAllocEx(process.get(), nullptr,
                                                                sizeof(LVITEMW) + kTextChars * sizeof(wchar_t),
                                                                MEM_COMMIT, PAGE_READWRITE)),
                              FreeRemoteMemory{process.get()});
    if (!remote) return false;
    wchar_t* const remoteText = reinterpret_cast<wchar_t*>(remote.get() + sizeof(LVITEMW));
    const auto rows = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT row = 0; row < rows; ++row) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = remoteText;
        item.cchTextMax = kTextChars;
        std::wstring text(kTextChars, L'\0');
        if (!WriteProcessMemory(process.get(), remote.get(), &item, sizeof item, nullptr)) return false;
        const auto length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(remote.get()));
        if (!ReadProcessMemory(process.get(), remoteText, text.data(), text.size() * sizeof(wchar_t), nullptr)) {
            return false;
        }
        text.resize(static_cast<size_t>(length));
        PrintLine(text);
    }
    return true;
}

// Dialogs first: a frame under a modal dialog is disabled and would only
// close once the dialog has.
bool CloseAll(int timeoutMs) {
    std::vector<Handle> processes;
    for (HWND window : TopLevelWindows([](HWND w) { return ClassName(w) == kFrameClass; })) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        processes.emplace_back(OpenProcess(SYNCHRONIZE, FALSE, processId));
    }
    for (HWND dialog : NewTaskDialogs()) PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (!WaitUntil([] { return NewTaskDialogs().empty(); }, timeoutMs)) {
        std::fprintf(stderr, "window_probe: a new-task dialog did not close\n");
        return false;
    }
    for (HWND frame : Frames()) PostMessageW(frame, WM_CLOSE, 0, 0);
    for (const Handle& process : processes) {
        if (process && WaitForSingleObject(process.get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "window_probe: a program did not end after its window was closed\n");
            return false;
        }
    }
    return true;
}

// The process of a command line, with the line as the registry holds it.
Handle StartCommand(const std::wstring& commandLine) {
    std::wstring line = commandLine;  // CreateProcessW may write to it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "window_probe: CreateProcessW failed (%lu)\n", GetLastError());
        return nullptr;
    }
    CloseHandle(info.hThread);
    return Handle(info.hProcess);
}

int Usage() {
    std::fprintf(stderr, "usage: window_probe frames | dialog-paths | wait-frames N [ms] | wait-dialog [ms] | close\n"
                         "                    | start COMMAND | run COMMAND [ms]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    auto numberAt = [&](int index, int fallback) {
        return index < argc ? static_cast<int>(std::wcstol(argv[index], nullptr, 10)) : fallback;
    };
    if (command == L"frames") {
        for (HWND frame : Frames()) PrintLine(WindowText(frame));
        return 0;
    }
    if (command == L"dialog-paths") return PrintDialogPaths() ? 0 : 1;
    if (command == L"wait-frames" && argc >= 3) {
        const size_t wanted = static_cast<size_t>(numberAt(2, 0));
        if (WaitUntil([&] { return Frames().size() == wanted; }, numberAt(3, kDefaultTimeoutMs))) return 0;
        std::fprintf(stderr, "window_probe: %zu frames, not %zu, when the time was up\n", Frames().size(), wanted);
        return 1;
    }
    if (command == L"wait-dialog") {
        if (WaitUntil([] { return !NewTaskDialogs().empty(); }, numberAt(2, kDefaultTimeoutMs))) return 0;
        std::fprintf(stderr, "window_probe: no new-task dialog appeared\n");
        return 1;
    }
    if (command == L"close") return CloseAll(kDefaultTimeoutMs) ? 0 : 1;
    if (command == L"start" && argc >= 3) return StartCommand(argv[2]) ? 0 : 1;
    if (command == L"run" && argc >= 3) {
        const Handle process = StartCommand(argv[2]);
        if (!process) return 1;
        if (WaitForSingleObject(process.get(), static_cast<DWORD>(numberAt(3, kDefaultTimeoutMs))) != WAIT_OBJECT_0) {
            return 124;
        }
        DWORD code = 1;
        GetExitCodeProcess(process.get(), &code);
        return static_cast<int>(code);
    }
    return Usage();
}
