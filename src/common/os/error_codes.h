// The operating system's error codes, by what they mean.
//
// The error record stores the code the system reported and asks the system
// for its text (system_error.h); code that is not part of the OS layer names
// a reason by one of these constants, so the same source records an errno
// value on Linux and a Win32 error code on Windows, each with its system's
// own description.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include "common/os/win32/error_values.h"
#else
#include "common/os/posix/error_values.h"
#endif

namespace qm::os {

// The calling thread's last error code as the system keeps it (errno, or
// GetLastError), and setting it: the error record takes the code from here
// when a caller passes 0, and formatting must not disturb it meanwhile.
uint32_t LastErrorCode();
void SetLastErrorCode(uint32_t code);

}  // namespace qm::os
