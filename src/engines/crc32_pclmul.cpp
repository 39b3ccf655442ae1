// CRC-32 by carry-less multiplication folding on 128-bit registers
// (PCLMULQDQ + SSE4.1). Eight blocks are folded side by side so the
// multiplier's latency is hidden behind independent chains.
#if defined(QM_ENGINES_HAVE_PCLMUL)

#include <immintrin.h>

#include "engines/crc32_fold.h"
#include "engines/crc32_impl.h"

namespace qm {
namespace {

using namespace crc32fold;

inline __m128i Constants(unsigned bits) {
    return _mm_set_epi64x(static_cast<long long>(HighLaneConstant(bits)),
                          static_cast<long long>(LowLaneConstant(bits)));
}

// x moved `k`'s distance ahead, combined with the block found there.
inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

}  // namespace

uint32_t Crc32UpdatePclmul(uint32_t crc, const uint8_t* data, size_t size) {
    if (size < 256) return Crc32UpdateSlicing8(crc, data, size);

    __m128i x[8];
    for (int i = 0; i < 8; ++i) x[i] = Load(data + 16 * i);
    // The running register enters as the first 32 bits of the message.
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(crc)));
    data += 128;
    size -= 128;

    const __m128i k1024 = Constants(1024);
    while (size >= 128) {
        for (int i = 0; i < 8; ++i) x[i] = Fold(x[i], k1024, Load(data + 16 * i));
        data += 128;
        size -= 128;
    }

    const __m128i k128 = Constants(128);
    __m128i acc = x[0];
    for (int i = 1; i < 8; ++i) acc = Fold(acc, k128, x[i]);
    while (size >= 16) {
        acc = Fold(acc, k128, Load(data));
        data += 16;
        size -= 16;
    }

    alignas(16) uint8_t block[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), acc);
    return Crc32UpdateSlicing8(Crc32UpdateSlicing8(0, block, 16), data, size);
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_PCLMUL
