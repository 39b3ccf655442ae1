// What the worker threads need of the system beyond std::thread: the
// calling thread's id as the system numbers it, and a name for it.
#pragma once

#include <cstdint>
#include <system_error>

namespace qm::os {

// The system's id of the calling thread (gettid; GetCurrentThreadId).
uint32_t CurrentThreadId();

// Names the calling thread for debuggers and process viewers; `name` is
// ASCII, at most 15 characters. A courtesy: failure is silent (Windows
// before 10 has no thread names at all).
void SetCurrentThreadName(const char* name);

// The system error code for a failure std::thread reports (starting or
// joining a thread): its codes are errno values on every system, which the
// error record would read as Win32 codes on Windows.
uint32_t ThreadErrorCode(const std::system_error& error);

}  // namespace qm::os
