// Carry-less multiplication folding for the reflected CRC-32, shared by the
// PCLMULQDQ and VPCLMULQDQ sources (each compiles it with its own flags).
//
// A 128-bit block X (low lane L = the earlier 8 bytes) stands for the
// polynomial L*x^64 + H in bit-reflected order. Moving it D bits further
// along the message multiplies it by x^D; modulo the CRC polynomial P that is
// L*(x^(64+D) mod P) + H*(x^D mod P). A reflected 64x64 carry-less product
// yields x*A*B, so the constants are x^(64+D-1) and x^(D-1) mod P, each
// written as a 64-bit reflected value (degree d at bit 63-d).
//
// Folding keeps the message's residue, so once everything is folded into one
// block, the plain table CRC (register 0) of those 16 bytes continues the
// computation exactly; no Barrett reduction is needed.
#pragma once

#include <cstdint>

namespace qm::crc32fold {

// x^n mod P in normal bit order (bit k is the coefficient of x^k).
constexpr uint32_t XPowModP(unsigned n) {
    uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (uint64_t{1} << 32)) r ^= (uint64_t{1} << 32) | 0x04C11DB7u;
    }
    return static_cast<uint32_t>(r);
}

constexpr uint64_t Reflect64(uint32_t poly) {
    uint64_t out = 0;
    for (unsigned d = 0; d < 32; ++d) {
        if (poly & (uint32_t{1} << d)) out |= uint64_t{1} << (63 - d);
    }
    return out;
}

// Constant for the low lane and for the high lane when folding D bits ahead.
constexpr uint64_t LowLaneConstant(unsigned bits) { return Reflect64(XPowModP(64 + bits - 1)); }
constexpr uint64_t HighLaneConstant(unsigned bits) { return Reflect64(XPowModP(bits - 1)); }

}  // namespace qm::crc32fold
