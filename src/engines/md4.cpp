// MD4 of RFC 1320, for libraries that do not load it.
#include <bit>
#include <cstring>

#include "engines/md2.h"
#include "engines/byte_order.h"

namespace qm {
namespace {

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (z & (x | y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }

void Md4Blocks(uint32_t state[4], const uint8_t* data, size_t blocks) {
    static constexpr int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    static constexpr int kShift1[4] = {3, 7, 11, 19};
    static constexpr int kShift2[4] = {3, 5, 9, 13};
    static constexpr int kShift3[4] = {3, 9, 11, 15};
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = LoadLe32(data + 4 * i);
        // v[0..3] = a, b, c, d; step i updates v[(4 - i % 4) % 4] from the
        // other three in the order the standard rotates them.
        uint32_t v[4] = {state[0], state[1], state[2], state[3]};
        for (int i = 0; i < 16; ++i) {
            const int a = (4 - i % 4) % 4, b = (a + 1) % 4, c = (a + 2) % 4, d = (a + 3) % 4;
            v[a] = std::rotl(v[a] + F(v[b], v[c], v[d]) + x[i], kShift1[i % 4]);
        }
        for (int i = 0; i < 16; ++i) {
            const int a = (4 - i % 4) % 4, b = (a + 1) % 4, c = (a + 2) % 4, d = (a + 3) % 4;
            v[a] = std::rotl(v[a] + G(v[b], v[c], v[d]) + x[kOrder2[i]] + 0x5A827999u, kShift2[i % 4]);
        }
        for (int i = 0; i < 16; ++i) {
            const int a = (4 - i % 4) % 4, b = (a + 1) % 4, c = (a + 2) % 4, d = (a + 3) % 4;
            v[a] = std::rotl(v[a] + H(v[b], v[c], v[d]) + x[kOrder3[i]] + 0x6ED9EBA1u, kShift3[i % 4]);
        }
        for (int i = 0; i < 4; ++i) state[i] += v[i];
    }
}

}  // namespace

void Md4Context::Init() {
    state_[0] = 0x67452301u;
    state_[1] = 0xEFCDAB89u;
    state_[2] = 0x98BADCFEu;
    state_[3] = 0x10325476u;
    block_.Reset();
}

void Md4Context::Update(const uint8_t* data, size_t size) {
    block_.Update(data, size, [this](const uint8_t* p, size_t n) { Md4Blocks(state_, p, n); });
}

void Md4Context::Final(uint8_t digest[16]) {
    block_.Finish([this](const uint8_t* p, size_t n) { Md4Blocks(state_, p, n); });
    for (int i = 0; i < 4; ++i) StoreLe32(digest + 4 * i, state_[i]);
}

}  // namespace qm
