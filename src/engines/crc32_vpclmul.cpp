// CRC-32 by carry-less multiplication folding on 512-bit registers
// (AVX-512 + VPCLMULQDQ): four registers of four blocks each, 256 bytes per
// round. Inputs too short for that take the 128-bit folding, built here with
// the same (VEX/EVEX) encoding.
//
// The function ends with an explicit vzeroupper: legacy-SSE code that runs
// after it (such as library digests) is otherwise slowed down by the dirty
// upper register halves.
#if defined(QM_ENGINES_HAVE_VPCLMUL)

#include <immintrin.h>

#include "engines/crc32_fold.h"
#include "engines/crc32_impl.h"

namespace qm {
namespace {

using namespace crc32fold;

template <unsigned Bits>
inline __m512i Constants512() {
    constexpr auto lo = static_cast<long long>(LowLaneConstant(Bits));
    constexpr auto hi = static_cast<long long>(HighLaneConstant(Bits));
    return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

inline __m512i Fold512(__m512i x, __m512i k, __m512i next) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // lo ^ hi ^ next
}

inline __m512i Load512(const uint8_t* p) { return _mm512_loadu_si512(p); }

uint32_t Crc32Fold512(uint32_t crc, const uint8_t* data, size_t size) {
    __m512i x0 = Load512(data);
    __m512i x1 = Load512(data + 64);
    __m512i x2 = Load512(data + 128);
    __m512i x3 = Load512(data + 192);
    x0 = _mm512_xor_si512(x0, _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
    data += 256;
    size -= 256;

    const __m512i k2048 = Constants512<2048>();
    while (size >= 256) {
        x0 = Fold512(x0, k2048, Load512(data));
        x1 = Fold512(x1, k2048, Load512(data + 64));
        x2 = Fold512(x2, k2048, Load512(data + 128));
        x3 = Fold512(x3, k2048, Load512(data + 192));
        data += 256;
        size -= 256;
    }

    const __m512i k512 = Constants512<512>();
    __m512i acc = Fold512(x0, k512, x1);
    acc = Fold512(acc, k512, x2);
    acc = Fold512(acc, k512, x3);
    while (size >= 64) {
        acc = Fold512(acc, k512, Load512(data));
        data += 64;
        size -= 64;
    }

    // The four lanes of the register, earliest first, into one block.
    alignas(64) __m128i lanes[4];
    _mm512_store_si512(lanes, acc);
    const __m128i k128 = Constants128<128>();
    __m128i lane = Fold128(lanes[0], k128, lanes[1]);
    lane = Fold128(lane, k128, lanes[2]);
    lane = Fold128(lane, k128, lanes[3]);
    while (size >= 16) {
        lane = Fold128(lane, k128, Load128(data));
        data += 16;
        size -= 16;
    }
    return FinishBlock(lane, data, size);
}

}  // namespace

uint32_t Crc32UpdateVpclmul(uint32_t crc, const uint8_t* data, size_t size) {
    crc = size < 512 ? Crc32Fold128(crc, data, size) : Crc32Fold512(crc, data, size);
    _mm256_zeroupper();
    return crc;
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_VPCLMUL
