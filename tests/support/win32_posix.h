// The POSIX environment calls the tests use, on the Windows C runtime.
// Included ahead of every source of the Windows test programs (see
// tests/CMakeLists.txt), so tests that set a variable for the code under test
// read the same on both systems. _putenv_s changes the process's environment
// too, where the system's own functions read it.
#pragma once

#if defined(_WIN32)

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name) != nullptr) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable there.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

#endif
