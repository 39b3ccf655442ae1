// Runs the built quorvia-cli (QM_CLI_PATH; on Windows the quorvia-cli.exe
// beside the test program), or another program found on the PATH, with
// arguments, environment overrides and a working directory, and collects its
// output and exit status.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#if !defined(_WIN32)
extern char** environ;
#endif

namespace qm::test {

#if defined(_WIN32)
using ProcessId = unsigned long;
#else
using ProcessId = pid_t;
#endif

struct CliResult {
    int exitCode = -1;  // -1 when the program ended by a signal
    int signal = 0;     // always 0 on Windows, which has no signals
    // Windows: the interrupt could not be sent (the test program has no
    // console to send it through).
    bool interruptFailed = false;
    std::string out;
    std::string err;
};

struct CliOptions {
    std::vector<std::pair<std::string, std::string>> env;  // added or replaced
    std::string cwd;                                       // empty: the test's
    // Send SIGINT (on Windows the console's Ctrl+Break) after this long.
    int interruptAfterMs = -1;
    bool readStdout = true;  // false: the pipe has no reader from the start (a broken pipe)
    std::string stdinPath;   // a file (absolute) as standard input; empty: the null device
#if defined(_WIN32)
    bool noStdout = false;  // the child starts without a standard output handle
#endif
#if !defined(_WIN32)
    // Run in the child after its streams are in place, just before it
    // executes the program: only async-signal-safe calls belong here. A
    // false result ends the child with exit code 126.
    std::function<bool()> inChild;
#endif
    // Called with the child's process id on every round of the output loop.
    std::function<void(ProcessId)> eachRound;
};

#if !defined(_WIN32)

// `command` is the program (a path, or a name looked up on the PATH) and its
// arguments.
inline CliResult RunProgram(const std::vector<std::string>& command, const CliOptions& options = {}) {
    // Everything the child needs is built before fork: after it, the child
    // only changes directory, moves descriptors and executes.
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [key, value] : options.env) replaced |= entry.rfind(key + "=", 0) == 0;
        if (!replaced) envStrings.push_back(entry);
    }
    for (const auto& [key, value] : options.env) envStrings.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = command;
    std::vector<char*> argv;
    for (std::string& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    CliResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
    if (!options.readStdout) {
        // No reader from the start, so the first write fails whatever the timing.
        close(outPipe[0]);
        outPipe[0] = -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        const int input = open(options.stdinPath.empty() ? "/dev/null" : options.stdinPath.c_str(), O_RDONLY);
        if (input >= 0) dup2(input, STDIN_FILENO);
        if (options.inChild && !options.inChild()) _exit(126);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        if (outPipe[0] >= 0) close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bool interrupted = false;
    bool killed = false;
    struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = outPipe[0] >= 0 ? 2 : 1;
    while (open > 0) {
        if (options.eachRound) options.eachRound(pid);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (options.interruptAfterMs >= 0 && !interrupted && elapsed >= options.interruptAfterMs) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        if (!killed && elapsed > 120000) {  // a hung program fails the test instead of hanging it
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, 20) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

#else  // Windows

namespace detail {

inline std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

// One argument as the runtime's command-line parser splits it back out:
// quoted when it has blanks or quotes or is empty, with the backslashes
// before a quote doubled.
inline void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// Reads a pipe to its end on a thread of its own.
struct PipeReader {
    HANDLE handle = nullptr;
    std::string* sink = nullptr;
    std::thread thread;
    void Start() {
        thread = std::thread([this] {
            char buffer[65536];
            DWORD n = 0;
            while (ReadFile(handle, buffer, sizeof buffer, &n, nullptr) && n > 0) sink->append(buffer, n);
        });
    }
    ~PipeReader() {
        if (thread.joinable()) thread.join();
        if (handle) CloseHandle(handle);
    }
};

}  // namespace detail

// The child gets pipes for standard output and error and the null device
// (or the file of CliOptions::stdinPath) as standard input, and a process group of its own, so Ctrl+Break reaches
// it alone.
inline CliResult RunProgram(const std::vector<std::string>& command, const CliOptions& options = {}) {
    std::wstring line;
    for (const std::string& arg : command) detail::AppendQuoted(line, detail::Wide(arg));

    // The environment with the overrides; names are compared without case,
    // as Windows does.
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e; e += wcslen(e) + 1) {
            const std::wstring entry = e;
            bool replaced = false;
            for (const auto& [key, value] : options.env) {
                const std::wstring prefix = detail::Wide(key) + L"=";
                replaced |= entry.size() >= prefix.size() &&
                            CompareStringOrdinal(entry.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                                 static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
            }
            if (!replaced) entries.push_back(entry);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [key, value] : options.env) entries.push_back(detail::Wide(key) + L"=" + detail::Wide(value));
    std::wstring environment;
    for (const std::wstring& entry : entries) environment += entry + L'\0';
    environment += L'\0';

    CliResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    if (!options.readStdout) {
        // No reader from the start, so the first write fails whatever the timing.
        CloseHandle(outRead);
        outRead = nullptr;
    }
    const std::wstring input = options.stdinPath.empty() ? std::wstring(L"NUL") : detail::Wide(options.stdinPath);
    HANDLE null = CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null;
    startup.hStdOutput = options.noStdout ? nullptr : outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const std::wstring cwd = detail::Wide(options.cwd);
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP, environment.data(),
                                        cwd.empty() ? nullptr : cwd.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    detail::PipeReader readers[2] = {{outRead, &result.out, {}}, {errRead, &result.err, {}}};
    if (!started) {
        result.exitCode = 127;  // as a shell reports a program it cannot start
        return result;
    }
    for (detail::PipeReader& reader : readers) {
        if (reader.handle) reader.Start();
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bool interrupted = false;
    bool killed = false;
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        if (options.eachRound) options.eachRound(process.dwProcessId);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (options.interruptAfterMs >= 0 && !interrupted && elapsed >= options.interruptAfterMs) {
            interrupted = true;
            if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, process.dwProcessId)) {
                // The run would go on to its end: the caller learns the
                // interrupt never came instead of waiting for that.
                result.interruptFailed = true;
                TerminateProcess(process.hProcess, 255);
            }
        }
        if (!killed && elapsed > 120000) {  // a hung program fails the test instead of hanging it
            TerminateProcess(process.hProcess, 255);
            killed = true;
        }
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (detail::PipeReader& reader : readers) {
        if (reader.thread.joinable()) reader.thread.join();
    }
    return result;
}

// quorvia-cli.exe is built beside the test programs.
inline std::string CliProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of(L"\\/") + 1);
    path += L"quorvia-cli.exe";
    const int size = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

#endif

inline CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {}) {
#if defined(_WIN32)
    std::vector<std::string> command = {CliProgramPath()};
#else
    std::vector<std::string> command = {QM_CLI_PATH};
#endif
    command.insert(command.end(), args.begin(), args.end());
    return RunProgram(command, options);
}

}  // namespace qm::test
