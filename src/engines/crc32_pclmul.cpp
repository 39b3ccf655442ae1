// CRC-32 folding on 128-bit registers with PCLMULQDQ, in legacy SSE
// encoding for processors without AVX.
#if defined(QM_ENGINES_HAVE_PCLMUL)

#include "engines/crc32_fold.h"
#include "engines/crc32_impl.h"

namespace qm {

uint32_t Crc32UpdatePclmul(uint32_t crc, const uint8_t* data, size_t size) {
    return crc32fold::Crc32Fold128(crc, data, size);
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_PCLMUL
