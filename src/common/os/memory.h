// Page-aligned memory straight from the system, for the pipeline's large
// read buffers: zero-filled, committed lazily, returned whole.
#pragma once

#include <cstddef>

namespace qm::os {

// `size` bytes of zero-filled, page-aligned, read-write memory; null on
// failure with the reason left as the thread's last system error
// (LastErrorCode).
void* AllocatePages(size_t size);

// Returns a block of AllocatePages; `size` is the size it was made with.
void FreePages(void* address, size_t size);

}  // namespace qm::os
