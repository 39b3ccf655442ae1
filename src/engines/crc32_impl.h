// CRC-32 block functions behind CQmCRC32.
//
// Each takes the running register (initial 0xFFFFFFFF, not complemented) and
// returns it after `size` more bytes. The byte-wise table version is the
// reference; the others must agree with it on every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qm {

using Crc32UpdateFn = uint32_t (*)(uint32_t crc, const uint8_t* data, size_t size);

struct Crc32Implementation {
    const char* name;
    Crc32UpdateFn update;  // null when this build lacks the code
    bool usable;           // built and supported by this processor
};

// The 256-entry table of the reflected polynomial 0xEDB88320.
const uint32_t* Crc32ByteTable();

uint32_t Crc32UpdateBytewise(uint32_t crc, const uint8_t* data, size_t size);
uint32_t Crc32UpdateSlicing8(uint32_t crc, const uint8_t* data, size_t size);
#if defined(QM_ENGINES_HAVE_PCLMUL)
uint32_t Crc32UpdatePclmul(uint32_t crc, const uint8_t* data, size_t size);
#endif
#if defined(QM_ENGINES_HAVE_PCLMUL_VEX)
uint32_t Crc32UpdatePclmulVex(uint32_t crc, const uint8_t* data, size_t size);
#endif
#if defined(QM_ENGINES_HAVE_VPCLMUL)
uint32_t Crc32UpdateVpclmul(uint32_t crc, const uint8_t* data, size_t size);
#endif

// Every implementation, portable first and fastest last.
std::span<const Crc32Implementation> GetCrc32Implementations();

// The fastest usable one (slicing-by-8 when portable code is forced),
// resolved on first use.
Crc32UpdateFn GetCrc32Update();

}  // namespace qm
