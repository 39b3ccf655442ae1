// The console layer of quorvia-cli on Windows (see cli/console.h): the
// standard handles, written with WriteConsoleW when they are a console and as
// UTF-8 bytes when they are a file or a pipe; the console's control events;
// and an auto-reset event as the wake channel.
#include "cli/console.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <vector>

#include "common/utf.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace qm::cli {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 paths are handed to the wide API as they are");

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

HANDLE StreamHandle(Stream stream) {
    return ::GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return Usable(handle) && ::GetConsoleMode(handle, &mode) != 0;
}

uint32_t WriteFileAll(HANDLE handle, std::string_view bytes) {
    // A program started without a standard stream has none to write to.
    if (!Usable(handle)) return ERROR_INVALID_HANDLE;
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        // A write that moves nothing without an error would spin.
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return 0;
}

uint32_t WriteConsoleAll(HANDLE handle, std::u16string_view text) {
    while (!text.empty()) {
        // Older consoles refuse a single write much above 64 KiB; a pair of
        // surrogates is never cut in two.
        size_t chunk = std::min<size_t>(text.size(), 8192);
        if (chunk < text.size() && chunk > 1 && text[chunk - 1] >= 0xD800 && text[chunk - 1] <= 0xDBFF) --chunk;
        DWORD written = 0;
        if (!::WriteConsoleW(handle, text.data(), static_cast<DWORD>(chunk), &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        text.remove_prefix(written);
    }
    return 0;
}

// Columns a text takes on the console: East Asian characters take two.
size_t Columns(std::u16string_view text) {
    size_t columns = 0;
    for (char16_t c : text) {
        if (c >= 0xDC00 && c <= 0xDFFF) continue;  // counted with its lead surrogate
        columns += c < 0x1100 ? 1 : 2;
    }
    return columns;
}

// Whether the console takes the erase-line sequence; older ones cannot be
// switched to it, and there the previous line is overwritten with spaces.
bool TakesEscapes(HANDLE handle) {
    static const bool takes = [handle] {
        DWORD mode = 0;
        if (!::GetConsoleMode(handle, &mode)) return false;
        if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
        return ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }();
    return takes;
}

// Columns the status line took when it was last drawn (main thread only).
size_t g_statusColumns = 0;

// The event a stop request sets, and the request that came first. Used on
// the thread the system starts for the control handler.
std::atomic<HANDLE> g_wakeEvent{nullptr};
std::atomic<int> g_stopSignal{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
    const bool closing = type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && !closing) return FALSE;
    // Each of them stops the run as Ctrl+C does. A second one goes on to the
    // system's default handler, which ends a process that does not stop.
    int none = 0;
    if (!g_stopSignal.compare_exchange_strong(none, SIGINT)) return FALSE;
    if (HANDLE event = g_wakeEvent.load()) ::SetEvent(event);
    if (closing) {
        // The system ends the process as soon as this returns: waiting here
        // lets the main thread stop the workers and exit with its own code,
        // which ends this thread too (the system's time limit still holds).
        ::Sleep(INFINITE);
    }
    return TRUE;
}

// The form of `path` the wide file API takes at any length: from 260
// characters on, absolute with the \\?\ prefix (\\?\UNC\ for a share).
std::u16string LongPathForm(std::u16string_view path) {
    std::u16string plain(path);
    if (plain.size() < MAX_PATH) return plain;
    const DWORD size = ::GetFullPathNameW(Wide(plain), 0, nullptr, nullptr);
    if (size == 0) return plain;
    std::u16string full(size, u'\0');
    const DWORD length = ::GetFullPathNameW(Wide(plain), size, reinterpret_cast<wchar_t*>(full.data()), nullptr);
    if (length == 0 || length >= size) return plain;
    full.resize(length);
    if (full.starts_with(u"\\\\?\\") || full.starts_with(u"\\\\.\\")) return full;
    if (full.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + full.substr(2);
    return u"\\\\?\\" + full;
}

}  // namespace

void GuardStandardStreams() {
    // Nothing to do: a handle the program opens is never taken for a
    // standard stream that was closed, and writes to a missing one fail
    // with ERROR_INVALID_HANDLE.
}

std::u16string ArgumentText(std::u16string_view arg) { return std::u16string(arg); }

std::u16string PathArgument(std::u16string_view arg) {
    std::u16string path(arg);
    std::replace(path.begin(), path.end(), u'/', u'\\');
    return path;
}

bool IsTerminal(Stream stream) { return IsConsole(StreamHandle(stream)); }

uint32_t WriteBytes(Stream stream, std::string_view utf8) {
    const HANDLE handle = StreamHandle(stream);
    if (IsConsole(handle)) return WriteConsoleAll(handle, Utf8ToUtf16Lossy(utf8));
    return WriteFileAll(handle, utf8);
}

uint32_t WriteText(Stream stream, std::u16string_view text) {
    const HANDLE handle = StreamHandle(stream);
    if (IsConsole(handle)) return WriteConsoleAll(handle, text);
    return WriteFileAll(handle, Utf16ToUtf8(text));
}

uint32_t DrawStatusLine(Stream stream, std::u16string_view text) {
    const HANDLE handle = StreamHandle(stream);
    if (!IsConsole(handle)) return 0;
    std::u16string line = u"\r";
    line += text;
    if (TakesEscapes(handle)) {
        line += u"\x1b[K";
    } else {
        const size_t columns = Columns(text);
        if (g_statusColumns > columns) line.append(g_statusColumns - columns, u' ');
        g_statusColumns = columns;
    }
    return WriteConsoleAll(handle, line);
}

uint32_t EraseStatusLine(Stream stream) {
    const HANDLE handle = StreamHandle(stream);
    if (!IsConsole(handle)) return 0;
    if (TakesEscapes(handle)) return WriteConsoleAll(handle, u"\r\x1b[K");
    std::u16string line(g_statusColumns + 2, u' ');
    line.front() = u'\r';
    line.back() = u'\r';
    g_statusColumns = 0;
    return WriteConsoleAll(handle, line);
}

uint32_t ReadStandardInput(std::string& bytes, uint64_t limit, bool& tooLarge) {
    tooLarge = false;
    bytes.clear();
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (!Usable(input)) return 0;  // no standard input: an empty list
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(input, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            const DWORD code = ::GetLastError();
            // The writing end of a pipe closed: that is its end.
            return code == ERROR_BROKEN_PIPE ? 0 : code;
        }
        if (n == 0) return 0;
        if (bytes.size() + n > limit) {
            tooLarge = true;
            return 0;
        }
        bytes.append(buffer.data(), n);
    }
}

uint32_t ProbePath(std::u16string_view path, bool& missing) {
    missing = false;
    const std::u16string osPath = LongPathForm(path);
    if (::GetFileAttributesW(Wide(osPath)) != INVALID_FILE_ATTRIBUTES) return 0;
    const DWORD code = ::GetLastError();
    missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    return code;
}

uint32_t WorkingDirectoryError() {
    if (::GetCurrentDirectoryW(0, nullptr) == 0) return ::GetLastError();
    return ERROR_FILE_NOT_FOUND;
}

void InstallStopHandlers() {
    // A process started with Ctrl+C ignored (a new process group) keeps it
    // ignored: the system does not call handlers for it then.
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

int StopSignal() { return g_stopSignal.load(); }

struct WakeChannel::State {
    HANDLE event = nullptr;
    ~State() {
        if (event) ::CloseHandle(event);
    }
};

WakeChannel::WakeChannel() : state_(std::make_unique<State>()) {}

WakeChannel::~WakeChannel() {
    HANDLE mine = state_->event;
    if (mine) g_wakeEvent.compare_exchange_strong(mine, nullptr);
}

bool WakeChannel::Open() {
    // Auto-reset: one wait takes every wake-up that came before it.
    state_->event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!state_->event) return false;
    g_wakeEvent.store(state_->event);
    return true;
}

void WakeChannel::Wake() { ::SetEvent(state_->event); }

bool WakeChannel::Wait(int timeoutMs) {
    const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return ::WaitForSingleObject(state_->event, timeout) == WAIT_OBJECT_0;
}

}  // namespace qm::cli

// With -municode the runtime hands over the command line as UTF-16.
extern "C" int wmain(int argc, wchar_t** argv) {
    qm::cli::GuardStandardStreams();
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    return qm::cli::Main(args);
}
