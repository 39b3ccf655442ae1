#include "common/system_info.h"

#include <string>

#include "common/os/clock.h"
#include "common/os/file.h"

namespace qm {

uint64_t QueryTickCount64() { return os::QueryTickCount64(); }

std::u16string GetProgramPath() { return os::GetProgramPath(); }

}  // namespace qm
