#include "common/os/clock.h"

#include <ctime>

namespace qm::os {

uint64_t QueryTickCount64() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace qm::os
