// SHA-1 with SHA-NI in VEX encoding, for processors with AVX: unlike
// legacy-SSE code it keeps its speed when other code has left the upper
// register halves dirty.
#if defined(QM_ENGINES_HAVE_SHANI_VEX)

#include "engines/sha1_impl.h"
#include "engines/sha1_shani_body.h"

namespace qm {

void Sha1BlocksShaNiVex(uint32_t state[5], const uint8_t* data, size_t blocks) {
    Sha1ShaNiCompress(state, data, blocks);
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_SHANI_VEX
