#include "common/os/error_codes.h"

#include <cerrno>

namespace qm::os {

uint32_t LastErrorCode() { return static_cast<uint32_t>(errno); }
void SetLastErrorCode(uint32_t code) { errno = static_cast<int>(code); }

}  // namespace qm::os
