// CRC-32 folding on 128-bit registers with PCLMULQDQ, in VEX encoding.
//
// The same code as the legacy-SSE build, for processors with AVX: legacy-SSE
// instructions that run while another piece of code has left the upper
// register halves dirty (no vzeroupper) are slowed down to a third on some
// processors; VEX-encoded ones are not.
#if defined(QM_ENGINES_HAVE_PCLMUL_VEX)

#include "engines/crc32_fold.h"
#include "engines/crc32_impl.h"

namespace qm {

uint32_t Crc32UpdatePclmulVex(uint32_t crc, const uint8_t* data, size_t size) {
    return crc32fold::Crc32Fold128(crc, data, size);
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_PCLMUL_VEX
