// SHA-1 with SHA-NI in legacy SSE encoding, for processors without AVX.
#if defined(QM_ENGINES_HAVE_SHANI)

#include "engines/sha1_impl.h"
#include "engines/sha1_shani_body.h"

namespace qm {

void Sha1BlocksShaNi(uint32_t state[5], const uint8_t* data, size_t blocks) {
    Sha1ShaNiCompress(state, data, blocks);
}

}  // namespace qm

#endif  // QM_ENGINES_HAVE_SHANI
