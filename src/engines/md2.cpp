// MD2 of RFC 1319, for libraries that no longer carry it.
#include "engines/md2.h"

#include <cstring>

namespace qm {
namespace {

// The substitution table: a permutation of 0..255 made by a Durstenfeld
// shuffle whose random numbers are successive digits of pi (one, two or three
// digits by the size of the range, rejecting values that would bias it).
constexpr uint8_t kPiSubst[256] = {
     41,  46,  67, 201, 162, 216, 124,   1,  61,  54,  84, 161, 236, 240,   6,  19,
     98, 167,   5, 243, 192, 199, 115, 140, 152, 147,  43, 217, 188,  76, 130, 202,
     30, 155,  87,  60, 253, 212, 224,  22, 103,  66, 111,  24, 138,  23, 229,  18,
    190,  78, 196, 214, 218, 158, 222,  73, 160, 251, 245, 142, 187,  47, 238, 122,
    169, 104, 121, 145,  21, 178,   7,  63, 148, 194,  16, 137,  11,  34,  95,  33,
    128, 127,  93, 154,  90, 144,  50,  39,  53,  62, 204, 231, 191, 247, 151,   3,
    255,  25,  48, 179,  72, 165, 181, 209, 215,  94, 146,  42, 172,  86, 170, 198,
     79, 184,  56, 210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116,   4, 241,
     69, 157, 112,  89, 100, 113, 135,  32, 134,  91, 207, 101, 230,  45, 168,   2,
     27,  96,  37, 173, 174, 176, 185, 246,  28,  70,  97, 105,  52,  64, 126,  15,
     85,  71, 163,  35, 221,  81, 175,  58, 195,  92, 249, 206, 186, 197, 234,  38,
     44,  83,  13, 110, 133,  40, 132,   9, 211, 223, 205, 244,  65, 129,  77,  82,
    106, 220,  55, 200, 108, 193, 171, 250,  36, 225, 123,   8,  12, 189, 177,  74,
    120, 136, 149, 139, 227,  99, 232, 109, 233, 203, 213, 254,  59,   0,  29,  57,
    242, 239, 183,  14, 102,  88, 208, 228, 166, 119, 114, 248, 235, 117,  75,  10,
     49,  68,  80, 180, 143, 237,  31,  26, 219, 153, 141,  51, 159,  17, 131,  20,
};

}  // namespace

void Md2Context::Init() {
    std::memset(state_, 0, sizeof state_);
    std::memset(checksum_, 0, sizeof checksum_);
    count_ = 0;
}

void Md2Context::Transform(const uint8_t block[16]) {
    uint8_t x[48];
    for (int j = 0; j < 16; ++j) {
        x[j] = state_[j];
        x[16 + j] = block[j];
        x[32 + j] = static_cast<uint8_t>(state_[j] ^ block[j]);
    }
    unsigned t = 0;
    for (unsigned round = 0; round < 18; ++round) {
        for (int k = 0; k < 48; ++k) t = x[k] ^= kPiSubst[t];
        t = (t + round) & 0xFF;
    }
    std::memcpy(state_, x, 16);

    uint8_t last = checksum_[15];
    for (int j = 0; j < 16; ++j) last = checksum_[j] ^= kPiSubst[block[j] ^ last];
}

void Md2Context::Update(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const size_t index = count_;
    count_ = (count_ + size) & 15;
    size_t done = 0;
    if (index != 0) {
        const size_t fill = 16 - index;
        if (size < fill) {
            std::memcpy(buffer_ + index, data, size);
            return;
        }
        std::memcpy(buffer_ + index, data, fill);
        Transform(buffer_);
        done = fill;
    }
    for (; done + 16 <= size; done += 16) Transform(data + done);
    std::memcpy(buffer_, data + done, size - done);
}

void Md2Context::Final(uint8_t digest[16]) {
    // Pad with n bytes of value n (1 to 16), then append the checksum.
    const size_t pad = 16 - count_;
    uint8_t padding[16];
    std::memset(padding, static_cast<int>(pad), pad);
    Update(padding, pad);
    uint8_t checksum[16];
    std::memcpy(checksum, checksum_, 16);
    Update(checksum, 16);
    std::memcpy(digest, state_, 16);
}

}  // namespace qm
