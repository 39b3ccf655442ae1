#include "common/system_info.h"

#include <unistd.h>

#include <string>

#include "common/os/clock.h"
#include "common/utf.h"

namespace qm {

uint64_t QueryTickCount64() { return os::QueryTickCount64(); }

std::u16string GetProgramPath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return PathFromOs(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qm
