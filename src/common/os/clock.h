// The system's millisecond tick count.
#pragma once

#include <cstdint>

namespace qm::os {

// Milliseconds since an arbitrary start that never goes back and is
// unaffected by changes of the wall clock (CLOCK_MONOTONIC; GetTickCount64).
uint64_t QueryTickCount64();

}  // namespace qm::os
