// What the worker threads need of the system beyond std::thread: the
// calling thread's id as the system numbers it, and a name for it.
#pragma once

#include <cstdint>

namespace qm::os {

// The system's id of the calling thread (gettid; GetCurrentThreadId).
uint32_t CurrentThreadId();

// Names the calling thread for debuggers and process viewers; `name` is
// ASCII, at most 15 characters. A courtesy: failure is silent (Windows
// before 10 has no thread names at all).
void SetCurrentThreadName(const char* name);

}  // namespace qm::os
