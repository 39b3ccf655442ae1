// CQmSHA1, the portable compression function, and the choice between it and
// the SHA-NI one.
#include "engines/sha1.h"
#include "engines/byte_order.h"

#include <array>
#include <bit>
#include <cstring>

#include "engines/cpu_features.h"

namespace qm {
namespace {

Sha1BlocksFn Resolve() {
    if (IsPortableCodeForced()) return Sha1BlocksPortable;
    Sha1BlocksFn best = Sha1BlocksPortable;
    for (const Sha1Implementation& impl : GetSha1Implementations()) {
        if (impl.usable) best = impl.blocks;
    }
    return best;
}

}  // namespace

// The five working variables rotate their roles each round instead of being
// moved, and the 16-word schedule is kept in a ring; every round below is
// written out so the compiler keeps all of it in registers.
#define QM_SHA1_W(i) (w[(i)&15] = std::rotl(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define QM_SHA1_R0(a, b, c, d, e, i) e += ((b & (c ^ d)) ^ d) + w[i] + 0x5A827999u + std::rotl(a, 5); b = std::rotl(b, 30);
#define QM_SHA1_R1(a, b, c, d, e, i) e += ((b & (c ^ d)) ^ d) + QM_SHA1_W(i) + 0x5A827999u + std::rotl(a, 5); b = std::rotl(b, 30);
#define QM_SHA1_R2(a, b, c, d, e, i) e += (b ^ c ^ d) + QM_SHA1_W(i) + 0x6ED9EBA1u + std::rotl(a, 5); b = std::rotl(b, 30);
#define QM_SHA1_R3(a, b, c, d, e, i) e += (((b | c) & d) | (b & c)) + QM_SHA1_W(i) + 0x8F1BBCDCu + std::rotl(a, 5); b = std::rotl(b, 30);
#define QM_SHA1_R4(a, b, c, d, e, i) e += (b ^ c ^ d) + QM_SHA1_W(i) + 0xCA62C1D6u + std::rotl(a, 5); b = std::rotl(b, 30);
#define QM_SHA1_FIVE(R, i)       \
    R(a, b, c, d, e, (i) + 0)    \
    R(e, a, b, c, d, (i) + 1)    \
    R(d, e, a, b, c, (i) + 2)    \
    R(c, d, e, a, b, (i) + 3)    \
    R(b, c, d, e, a, (i) + 4)

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = LoadBe32(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d, e0 = e;
        QM_SHA1_FIVE(QM_SHA1_R0, 0)
        QM_SHA1_FIVE(QM_SHA1_R0, 5)
        QM_SHA1_FIVE(QM_SHA1_R0, 10)
        QM_SHA1_R0(a, b, c, d, e, 15)
        QM_SHA1_R1(e, a, b, c, d, 16)
        QM_SHA1_R1(d, e, a, b, c, 17)
        QM_SHA1_R1(c, d, e, a, b, 18)
        QM_SHA1_R1(b, c, d, e, a, 19)
        QM_SHA1_FIVE(QM_SHA1_R2, 20)
        QM_SHA1_FIVE(QM_SHA1_R2, 25)
        QM_SHA1_FIVE(QM_SHA1_R2, 30)
        QM_SHA1_FIVE(QM_SHA1_R2, 35)
        QM_SHA1_FIVE(QM_SHA1_R3, 40)
        QM_SHA1_FIVE(QM_SHA1_R3, 45)
        QM_SHA1_FIVE(QM_SHA1_R3, 50)
        QM_SHA1_FIVE(QM_SHA1_R3, 55)
        QM_SHA1_FIVE(QM_SHA1_R4, 60)
        QM_SHA1_FIVE(QM_SHA1_R4, 65)
        QM_SHA1_FIVE(QM_SHA1_R4, 70)
        QM_SHA1_FIVE(QM_SHA1_R4, 75)
        a += a0;
        b += b0;
        c += c0;
        d += d0;
        e += e0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
    state[4] = e;
}

#undef QM_SHA1_FIVE
#undef QM_SHA1_R4
#undef QM_SHA1_R3
#undef QM_SHA1_R2
#undef QM_SHA1_R1
#undef QM_SHA1_R0
#undef QM_SHA1_W

std::span<const Sha1Implementation> GetSha1Implementations() {
    static const auto table = [] {
        [[maybe_unused]] const CpuFeatures& cpu = GetCpuFeatures();
        return std::array<Sha1Implementation, 3>{{
            {"portable", Sha1BlocksPortable, true},
#if defined(QM_ENGINES_HAVE_SHANI)
            {"shani", Sha1BlocksShaNi, cpu.sha && cpu.sse41 && cpu.ssse3},
#else
            {"shani", nullptr, false},
#endif
#if defined(QM_ENGINES_HAVE_SHANI_VEX)
            {"shani_vex", Sha1BlocksShaNiVex, cpu.sha && cpu.avx},
#else
            {"shani_vex", nullptr, false},
#endif
        }};
    }();
    return table;
}

Sha1BlocksFn GetSha1Blocks() {
    static const Sha1BlocksFn chosen = Resolve();
    return chosen;
}

CQmSHA1::CQmSHA1() : CQmSHA1(GetSha1Blocks()) {}

CQmSHA1::CQmSHA1(Sha1BlocksFn blocks)
    : CQmHashObject(QM_HASH_SHA1, u"SHA1", 20), blocks_(blocks ? blocks : Sha1BlocksPortable) {}

bool CQmSHA1::Init() {
    state_[0] = 0x67452301u;
    state_[1] = 0xEFCDAB89u;
    state_[2] = 0x98BADCFEu;
    state_[3] = 0x10325476u;
    state_[4] = 0xC3D2E1F0u;
    block_.Reset();
    return true;
}

void CQmSHA1::Update(const void* data, uint32_t size) {
    // Whole blocks go straight from the caller's memory.
    block_.Update(static_cast<const uint8_t*>(data), size,
                  [this](const uint8_t* p, size_t n) { blocks_(state_, p, n); });
}

uint32_t CQmSHA1::Final(uint8_t* digest) {
    block_.Finish([this](const uint8_t* p, size_t n) { blocks_(state_, p, n); });
    for (int i = 0; i < 5; ++i) StoreBe32(digest + 4 * i, state_[i]);
    // One more compression over the spent buffer leaves nothing usable: an
    // Update or Final without Init cannot pass for a continued digest.
    blocks_(state_, block_.Data(), 1);
    return 20;
}

}  // namespace qm
