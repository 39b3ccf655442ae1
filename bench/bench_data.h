// The fixed bytes the engine benchmarks hash: one mebibyte from a small
// linear congruential generator, the same in every build, so digests printed
// by a Linux and a Windows build can be compared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::bench {

inline constexpr size_t kDataBlock = size_t{1} << 20;

inline std::vector<uint8_t> MakeBenchData() {
    std::vector<uint8_t> bytes(kDataBlock);
    uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

}  // namespace qm::bench
