// SHA-1 compression functions behind CQmSHA1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qm {

// Compresses `blocks` consecutive 64-byte blocks into the chaining words.
using Sha1BlocksFn = void (*)(uint32_t state[5], const uint8_t* data, size_t blocks);

struct Sha1Implementation {
    const char* name;
    Sha1BlocksFn blocks;  // null when this build lacks the code
    bool usable;          // built and supported by this processor
};

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks);
#if defined(QM_ENGINES_HAVE_SHANI)
void Sha1BlocksShaNi(uint32_t state[5], const uint8_t* data, size_t blocks);
#endif
#if defined(QM_ENGINES_HAVE_SHANI_VEX)
void Sha1BlocksShaNiVex(uint32_t state[5], const uint8_t* data, size_t blocks);
#endif

// Every implementation, portable first.
std::span<const Sha1Implementation> GetSha1Implementations();

// The fastest usable one (the portable one when portable code is forced),
// resolved on first use.
Sha1BlocksFn GetSha1Blocks();

}  // namespace qm
