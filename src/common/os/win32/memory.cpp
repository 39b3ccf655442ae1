#include "common/os/memory.h"

#include <windows.h>

namespace qm::os {

// Reserved and committed at once; the system hands out zeroed pages on first
// touch, so an unused buffer costs no physical memory.
void* AllocatePages(size_t size) { return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); }

// MEM_RELEASE frees the whole reservation and wants size 0.
void FreePages(void* address, size_t /*size*/) {
    if (address) VirtualFree(address, 0, MEM_RELEASE);
}

}  // namespace qm::os
