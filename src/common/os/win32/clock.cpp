#include "common/os/clock.h"

#include <windows.h>

namespace qm::os {

// Every system the program runs on has GetTickCount64 (it needs Windows 7),
// so the 32-bit tick with its wrap-around count is not needed.
uint64_t QueryTickCount64() { return GetTickCount64(); }

}  // namespace qm::os
