// 32-bit words in a fixed byte order, as the MD and SHA families read their
// message and write their digests. memcpy keeps the loads free of alignment
// and aliasing assumptions; the compiler turns each into one instruction.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace qm {

template <std::endian Order>
inline uint32_t LoadWord32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native != Order) v = __builtin_bswap32(v);
    return v;
}

template <std::endian Order>
inline void StoreWord32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native != Order) v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline uint32_t LoadLe32(const uint8_t* p) { return LoadWord32<std::endian::little>(p); }
inline uint32_t LoadBe32(const uint8_t* p) { return LoadWord32<std::endian::big>(p); }
inline void StoreLe32(uint8_t* p, uint32_t v) { StoreWord32<std::endian::little>(p, v); }
inline void StoreBe32(uint8_t* p, uint32_t v) { StoreWord32<std::endian::big>(p, v); }

}  // namespace qm
