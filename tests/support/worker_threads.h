// Counting the task's worker threads from outside: they name themselves
// "qm-…", so the threads of sanitizer runtimes, Qt or GLib never count.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

namespace qm::test {

#if defined(_WIN32)

// The process's threads, each by the name it gave itself (win32_support.cpp).
size_t WorkerThreadCount();

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
