// A large file that takes no room on disk: the size is set, nothing is
// written. The C runtime's way on Windows writes the zeros out (and fails
// with EFBIG when the disk has less room than the size), so there the
// system's calls set the end of a sparse file (win32_support.cpp).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace qm::test {

#if defined(_WIN32)

void MakeSparseFile(const std::filesystem::path& path, uint64_t size);

#else

inline void MakeSparseFile(const std::filesystem::path& path, uint64_t size) {
    { std::ofstream create(path, std::ios::binary | std::ios::app); }
    std::filesystem::resize_file(path, size);
}

#endif

}  // namespace qm::test
