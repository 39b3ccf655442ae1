#include "common/system_info.h"

#include <ctime>
#include <string>

#include "common/os/file.h"

namespace qm {

uint64_t QueryTickCount64() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

std::u16string GetProgramPath() { return os::GetProgramPath(); }

}  // namespace qm
