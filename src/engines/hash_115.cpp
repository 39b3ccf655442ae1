// The 115 link hash.
#include "engines/hash_115.h"

#include <cstring>

namespace qm {

CQm115SHA1::CQm115SHA1() : CQmHashObject(QM_HASH_115, u"115网盘", 40) {}

CQm115SHA1::CQm115SHA1(Sha1BlocksFn blocks) : CQmHashObject(QM_HASH_115, u"115网盘", 40), whole_(blocks) {}

bool CQm115SHA1::Init() {
    count_ = 0;
    return whole_.Init();
}

void CQm115SHA1::Update(const void* data, uint32_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (count_ < kFirstBlockBytes && count_ + size >= kFirstBlockBytes) {
        const uint32_t head = static_cast<uint32_t>(kFirstBlockBytes - count_);
        whole_.Update(p, head);
        CQmSHA1 snapshot(whole_);
        snapshot.Final(firstBlock_);
        count_ += size;
        whole_.Update(p + head, size - head);
        return;
    }
    count_ += size;
    whole_.Update(p, size);
}

uint32_t CQm115SHA1::Final(uint8_t* digest) {
    whole_.Final(digest);
    if (count_ < kFirstBlockBytes) {
        std::memcpy(digest + 20, digest, 20);
    } else {
        std::memcpy(digest + 20, firstBlock_, 20);
    }
    return 40;
}

}  // namespace qm
