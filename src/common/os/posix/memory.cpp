#include "common/os/memory.h"

#include <sys/mman.h>

namespace qm::os {

// Anonymous pages come zero-filled and page-aligned, and cost nothing until a
// run actually fills them.
void* AllocatePages(size_t size) {
    void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}

void FreePages(void* address, size_t size) {
    if (address) ::munmap(address, size);
}

}  // namespace qm::os
