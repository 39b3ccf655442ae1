// CRC-32 by carry-less multiplication folding on 512-bit registers
// (AVX-512 + VPCLMULQDQ): four registers of four blocks each, 256 bytes per
// round.
//
// The function ends with an explicit vzeroupper: legacy-SSE code that runs
// after it (the 128-bit folding path, library digests) is otherwise slowed
// down by the dirty upper register halves on some processors.
#if defined(QM_ENGINES_HAVE_VPCLMUL)

#include <immintrin.h>

#include "engines/crc32_fold.h"
#include "engines/crc32_impl.h"

namespace qm {
namespace {

using namespace crc32fold;

inline __m128i Constants128(unsigned bits) {
    return _mm_set_epi64x(static_cast<long long>(HighLaneConstant(bits)),
                          static_cast<long long>(LowLaneConstant(bits)));
}

inline __m512i Constants512(unsigned bits) {
    const auto lo = static_cast<long long>(LowLaneConstant(bits));
    const auto hi = static_cast<long long>(HighLaneConstant(bits));
    return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

inline __m512i Fold(__m512i x, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // lo ^ hi ^ next
}

inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_ternarylogic_epi64(lo, hi, next, 0x96);
}

inline __m512i Load(const uint8_t* p) { return _mm512_loadu_si512(p); }

uint32_t Fold512(uint32_t crc, const uint8_t* data, size_t size) {
    __m512i x0 = Load(data);
    __m512i x1 = Load(data + 64);
    __m512i x2 = Load(data + 128);
    __m512i x3 = Load(data + 192);
    x0 = _mm512_xor_si512(x0, _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
    data += 256;
    size -= 256;

    const __m512i k2048 = Constants512(2048);
    while (size >= 256) {
        x0 = Fold(x0, k2048, Load(data));
        x1 = Fold(x1, k2048, Load(data + 64));
        x2 = Fold(x2, k2048, Load(data + 128));
        x3 = Fold(x3, k2048, Load(data + 192));
        data += 256;
        size -= 256;
    }

    const __m512i k512 = Constants512(512);
    __m512i acc = Fold(x0, k512, x1);
    acc = Fold(acc, k512, x2);
    acc = Fold(acc, k512, x3);
    while (size >= 64) {
        acc = Fold(acc, k512, Load(data));
        data += 64;
        size -= 64;
    }

    // The four lanes of the register, earliest first, into one block.
    alignas(64) __m128i lanes[4];
    _mm512_store_si512(lanes, acc);
    __m128i lane = lanes[0];
    lane = Fold(lane, Constants128(128), lanes[1]);
    lane = Fold(lane, Constants128(128), lanes[2]);
    lane = Fold(lane, Constants128(128), lanes[3]);
    while (size >= 16) {
        lane = Fold(lane, Constants128(128), _mm_loadu_si128(reinterpret_cast<const __m128i*>(data)));
        data += 16;
        size -= 16;
    }

    alignas(16) uint8_t block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), lane);
    return Crc32UpdateSlicing8(Crc32UpdateSlicing8(0, block, 16), data, size);
}

}  // namespace

uint32_t Crc32UpdateVpclmul(uint32_t crc, const uint8_t* data, size_t size) {
    if (size < 512) {
#if defined(QM_ENGINES_HAVE_PCLMUL)
        return Crc32UpdatePclmul(crc, data, size);
#else
        return Crc32UpdateSlicing8(crc, data, size);
#endif
    }
    crc = Fold512(crc, data, size);
    _mm256_zeroupper();
    return crc;
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_VPCLMUL
