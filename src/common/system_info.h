// Small system queries: the tick clock and the program's own file.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// Milliseconds of the system's monotonic tick clock (os/clock.h): never goes
// back and is unaffected by changes of the wall clock. Used for elapsed times
// and speeds.
uint64_t QueryTickCount64();

// The absolute path of the running program (/proc/self/exe on Linux), or an empty
// text when the system does not tell.
std::u16string GetProgramPath();

}  // namespace qm
