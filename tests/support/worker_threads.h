// Counting the task's worker threads from outside: they name themselves
// "qm-…", so the threads of sanitizer runtimes, Qt or GLib never count.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#endif

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

namespace qm::test {

#if defined(_WIN32)

// The process's threads from the system's snapshot, each name read with
// GetThreadDescription (looked up, as older systems lack it).
inline size_t WorkerThreadCount() {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    static const auto getDescription = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    if (!getDescription) return 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        const HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        PWSTR name = nullptr;
        if (SUCCEEDED(getDescription(thread, &name)) && name) {
            count += std::wstring_view(name).starts_with(L"qm-") ? 1 : 0;
            LocalFree(name);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}

#else

inline size_t WorkerThreadCount() {
    size_t count = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name.starts_with("qm-") ? 1 : 0;
    }
    return count;
}

#endif

// True once no worker is left. A joined thread has ended, but the kernel
// takes it off the process's list a moment later, so this looks again for a
// while before it gives up.
inline bool NoWorkerThreadsLeft(std::chrono::milliseconds patience = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (WorkerThreadCount() != 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace qm::test
