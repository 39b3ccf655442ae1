// CQmMD5 and its compression function.
//
// MD5 has one long dependency chain per block, so what counts is the length
// of each step's critical path: the message word and constant are added to
// the destination before the round function is ready, and G is formed as the
// sum of two disjoint masks so both halves can start at once.
#include "engines/md5.h"
#include "engines/byte_order.h"

#include <bit>
#include <cstring>

namespace qm {
#define QM_MD5_F(a, b, c, d, x, t, s)            \
    a += (x) + (t);                              \
    a += ((c ^ d) & b) ^ d;                      \
    a = std::rotl(a, s) + b;
#define QM_MD5_G(a, b, c, d, x, t, s)            \
    a += (x) + (t);                              \
    a += (~d & c);                               \
    a += (d & b);                                \
    a = std::rotl(a, s) + b;
#define QM_MD5_H(a, b, c, d, x, t, s)            \
    a += (x) + (t);                              \
    a += b ^ c ^ d;                              \
    a = std::rotl(a, s) + b;
#define QM_MD5_I(a, b, c, d, x, t, s)            \
    a += (x) + (t);                              \
    a += c ^ (b | ~d);                           \
    a = std::rotl(a, s) + b;

void Md5Blocks(uint32_t state[4], const uint8_t* data, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = LoadLe32(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        QM_MD5_F(a, b, c, d, x[0], 0xD76AA478u, 7)
        QM_MD5_F(d, a, b, c, x[1], 0xE8C7B756u, 12)
        QM_MD5_F(c, d, a, b, x[2], 0x242070DBu, 17)
        QM_MD5_F(b, c, d, a, x[3], 0xC1BDCEEEu, 22)
        QM_MD5_F(a, b, c, d, x[4], 0xF57C0FAFu, 7)
        QM_MD5_F(d, a, b, c, x[5], 0x4787C62Au, 12)
        QM_MD5_F(c, d, a, b, x[6], 0xA8304613u, 17)
        QM_MD5_F(b, c, d, a, x[7], 0xFD469501u, 22)
        QM_MD5_F(a, b, c, d, x[8], 0x698098D8u, 7)
        QM_MD5_F(d, a, b, c, x[9], 0x8B44F7AFu, 12)
        QM_MD5_F(c, d, a, b, x[10], 0xFFFF5BB1u, 17)
        QM_MD5_F(b, c, d, a, x[11], 0x895CD7BEu, 22)
        QM_MD5_F(a, b, c, d, x[12], 0x6B901122u, 7)
        QM_MD5_F(d, a, b, c, x[13], 0xFD987193u, 12)
        QM_MD5_F(c, d, a, b, x[14], 0xA679438Eu, 17)
        QM_MD5_F(b, c, d, a, x[15], 0x49B40821u, 22)

        QM_MD5_G(a, b, c, d, x[1], 0xF61E2562u, 5)
        QM_MD5_G(d, a, b, c, x[6], 0xC040B340u, 9)
        QM_MD5_G(c, d, a, b, x[11], 0x265E5A51u, 14)
        QM_MD5_G(b, c, d, a, x[0], 0xE9B6C7AAu, 20)
        QM_MD5_G(a, b, c, d, x[5], 0xD62F105Du, 5)
        QM_MD5_G(d, a, b, c, x[10], 0x02441453u, 9)
        QM_MD5_G(c, d, a, b, x[15], 0xD8A1E681u, 14)
        QM_MD5_G(b, c, d, a, x[4], 0xE7D3FBC8u, 20)
        QM_MD5_G(a, b, c, d, x[9], 0x21E1CDE6u, 5)
        QM_MD5_G(d, a, b, c, x[14], 0xC33707D6u, 9)
        QM_MD5_G(c, d, a, b, x[3], 0xF4D50D87u, 14)
        QM_MD5_G(b, c, d, a, x[8], 0x455A14EDu, 20)
        QM_MD5_G(a, b, c, d, x[13], 0xA9E3E905u, 5)
        QM_MD5_G(d, a, b, c, x[2], 0xFCEFA3F8u, 9)
        QM_MD5_G(c, d, a, b, x[7], 0x676F02D9u, 14)
        QM_MD5_G(b, c, d, a, x[12], 0x8D2A4C8Au, 20)

        QM_MD5_H(a, b, c, d, x[5], 0xFFFA3942u, 4)
        QM_MD5_H(d, a, b, c, x[8], 0x8771F681u, 11)
        QM_MD5_H(c, d, a, b, x[11], 0x6D9D6122u, 16)
        QM_MD5_H(b, c, d, a, x[14], 0xFDE5380Cu, 23)
        QM_MD5_H(a, b, c, d, x[1], 0xA4BEEA44u, 4)
        QM_MD5_H(d, a, b, c, x[4], 0x4BDECFA9u, 11)
        QM_MD5_H(c, d, a, b, x[7], 0xF6BB4B60u, 16)
        QM_MD5_H(b, c, d, a, x[10], 0xBEBFBC70u, 23)
        QM_MD5_H(a, b, c, d, x[13], 0x289B7EC6u, 4)
        QM_MD5_H(d, a, b, c, x[0], 0xEAA127FAu, 11)
        QM_MD5_H(c, d, a, b, x[3], 0xD4EF3085u, 16)
        QM_MD5_H(b, c, d, a, x[6], 0x04881D05u, 23)
        QM_MD5_H(a, b, c, d, x[9], 0xD9D4D039u, 4)
        QM_MD5_H(d, a, b, c, x[12], 0xE6DB99E5u, 11)
        QM_MD5_H(c, d, a, b, x[15], 0x1FA27CF8u, 16)
        QM_MD5_H(b, c, d, a, x[2], 0xC4AC5665u, 23)

        QM_MD5_I(a, b, c, d, x[0], 0xF4292244u, 6)
        QM_MD5_I(d, a, b, c, x[7], 0x432AFF97u, 10)
        QM_MD5_I(c, d, a, b, x[14], 0xAB9423A7u, 15)
        QM_MD5_I(b, c, d, a, x[5], 0xFC93A039u, 21)
        QM_MD5_I(a, b, c, d, x[12], 0x655B59C3u, 6)
        QM_MD5_I(d, a, b, c, x[3], 0x8F0CCC92u, 10)
        QM_MD5_I(c, d, a, b, x[10], 0xFFEFF47Du, 15)
        QM_MD5_I(b, c, d, a, x[1], 0x85845DD1u, 21)
        QM_MD5_I(a, b, c, d, x[8], 0x6FA87E4Fu, 6)
        QM_MD5_I(d, a, b, c, x[15], 0xFE2CE6E0u, 10)
        QM_MD5_I(c, d, a, b, x[6], 0xA3014314u, 15)
        QM_MD5_I(b, c, d, a, x[13], 0x4E0811A1u, 21)
        QM_MD5_I(a, b, c, d, x[4], 0xF7537E82u, 6)
        QM_MD5_I(d, a, b, c, x[11], 0xBD3AF235u, 10)
        QM_MD5_I(c, d, a, b, x[2], 0x2AD7D2BBu, 15)
        QM_MD5_I(b, c, d, a, x[9], 0xEB86D391u, 21)

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef QM_MD5_I
#undef QM_MD5_H
#undef QM_MD5_G
#undef QM_MD5_F

CQmMD5::CQmMD5() : CQmHashObject(QM_HASH_MD5, u"MD5", 16) {}

bool CQmMD5::Init() {
    state_[0] = 0x67452301u;
    state_[1] = 0xEFCDAB89u;
    state_[2] = 0x98BADCFEu;
    state_[3] = 0x10325476u;
    block_.Reset();
    return true;
}

void CQmMD5::Update(const void* data, uint32_t size) {
    block_.Update(static_cast<const uint8_t*>(data), size,
                  [this](const uint8_t* p, size_t n) { Md5Blocks(state_, p, n); });
}

uint32_t CQmMD5::Final(uint8_t* digest) {
    block_.Finish([this](const uint8_t* p, size_t n) { Md5Blocks(state_, p, n); });
    for (int i = 0; i < 4; ++i) StoreLe32(digest + 4 * i, state_[i]);
    // Nothing of the message stays behind in the engine.
    std::memset(state_, 0, sizeof state_);
    block_.Wipe();
    return 16;
}

}  // namespace qm
