// SHA-1 compression with the SHA extensions (SHA-NI), included by the
// legacy-SSE build (sha1_shani.cpp) and the VEX build (sha1_shani_vex.cpp).
// Internal linkage: the two copies are built for different instruction sets
// and must never be merged at link time.
//
// The state lives in two registers: A B C D with A in the top lane, and E in
// the top lane of a second one. Each SHA1RNDS4 does four rounds; SHA1NEXTE
// derives the next E from the A of four rounds earlier and adds the message
// words; SHA1MSG1 / SHA1MSG2 with one XOR extend the message schedule four
// words at a time.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace qm {
namespace {

inline void Sha1ShaNiCompress(uint32_t state[5], const uint8_t* data, size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdSaved = abcd;
        const __m128i eSaved = e0;
        __m128i w[4];
        __m128i previous = abcd;  // A B C D before the last four rounds

        // Group g covers rounds 4g..4g+3 with message words W[4g..4g+3].
        auto group = [&]<int G>() {
            if constexpr (G < 4) {
                w[G] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * G)), byteSwap);
            } else {
                w[G % 4] = _mm_sha1msg2_epu32(
                    _mm_xor_si128(_mm_sha1msg1_epu32(w[G % 4], w[(G + 1) % 4]), w[(G + 2) % 4]), w[(G + 3) % 4]);
            }
            __m128i e;
            if constexpr (G == 0) {
                e = _mm_add_epi32(e0, w[0]);
            } else {
                e = _mm_sha1nexte_epu32(previous, w[G % 4]);
            }
            previous = abcd;
            abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);
        };
        [&]<int... G>(std::integer_sequence<int, G...>) {
            (group.template operator()<G>(), ...);
        }(std::make_integer_sequence<int, 20>{});

        e0 = _mm_sha1nexte_epu32(previous, eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace
}  // namespace qm
