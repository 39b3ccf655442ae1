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
//
// Everything here has internal linkage, and the constants are only used in
// constant expressions, so the compiler evaluates them: the
// including files are built for different instruction sets, and no copy of
// this code may be shared between them at link time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engines/crc32_impl.h"

#if defined(__PCLMUL__) && defined(__SSE4_1__)
#include <immintrin.h>
#endif

namespace qm::crc32fold {

// x^n mod P in normal bit order (bit k is the coefficient of x^k).
static constexpr uint32_t XPowModP(unsigned n) {
    uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (uint64_t{1} << 32)) r ^= (uint64_t{1} << 32) | 0x04C11DB7u;
    }
    return static_cast<uint32_t>(r);
}

static constexpr uint64_t Reflect64(uint32_t poly) {
    uint64_t out = 0;
    for (unsigned d = 0; d < 32; ++d) {
        if (poly & (uint32_t{1} << d)) out |= uint64_t{1} << (63 - d);
    }
    return out;
}

// Constant for the low lane and for the high lane when folding D bits ahead.
static constexpr uint64_t LowLaneConstant(unsigned bits) { return Reflect64(XPowModP(64 + bits - 1)); }
static constexpr uint64_t HighLaneConstant(unsigned bits) { return Reflect64(XPowModP(bits - 1)); }

#if defined(__PCLMUL__) && defined(__SSE4_1__)
namespace {

template <unsigned Bits>
inline __m128i Constants128() {
    constexpr uint64_t lo = LowLaneConstant(Bits);
    constexpr uint64_t hi = HighLaneConstant(Bits);
    return _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
}

// x moved `k`'s distance ahead, combined with the block found there.
inline __m128i Fold128(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

inline __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Finishes a folded block and the bytes after it with the table code.
inline uint32_t FinishBlock(__m128i block, const uint8_t* tail, size_t size) {
    alignas(16) uint8_t bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), block);
    return Crc32UpdateSlicing8(Crc32UpdateSlicing8(0, bytes, 16), tail, size);
}

// Eight 128-bit blocks folded side by side, so the multiplier's latency is
// hidden behind independent chains; shorter inputs go to the table code.
inline uint32_t Crc32Fold128(uint32_t crc, const uint8_t* data, size_t size) {
    if (size < 256) return Crc32UpdateSlicing8(crc, data, size);

    __m128i x[8];
    for (int i = 0; i < 8; ++i) x[i] = Load128(data + 16 * i);
    // The running register enters as the first 32 bits of the message.
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(crc)));
    data += 128;
    size -= 128;

    const __m128i k1024 = Constants128<1024>();
    while (size >= 128) {
        for (int i = 0; i < 8; ++i) x[i] = Fold128(x[i], k1024, Load128(data + 16 * i));
        data += 128;
        size -= 128;
    }

    const __m128i k128 = Constants128<128>();
    __m128i acc = x[0];
    for (int i = 1; i < 8; ++i) acc = Fold128(acc, k128, x[i]);
    while (size >= 16) {
        acc = Fold128(acc, k128, Load128(data));
        data += 16;
        size -= 16;
    }
    return FinishBlock(acc, data, size);
}

}  // namespace
#endif

}  // namespace qm::crc32fold
