#include "common/os/error_codes.h"

#include <windows.h>

namespace qm::os {

uint32_t LastErrorCode() { return GetLastError(); }
void SetLastErrorCode(uint32_t code) { SetLastError(code); }

}  // namespace qm::os
