// CQm115SHA1: the hash of 115网盘 links, two SHA-1 digests in one pass:
// bytes 0-19 over everything fed, bytes 20-39 over the first 128 KiB (the
// same as the first when the input is not longer than that).
#pragma once

#include "engines/hash_object.h"
#include "engines/sha1.h"

namespace qm {

class CQm115SHA1 : public CQmHashObject {
public:
    static constexpr uint64_t kFirstBlockBytes = 131072;

    CQm115SHA1();
    explicit CQm115SHA1(Sha1BlocksFn blocks);

    bool Init() override;
    // Within the call that reaches byte 131072 the running SHA-1 is copied
    // and the copy finalised; the running one goes on untouched.
    void Update(const void* data, uint32_t size) override;
    uint32_t Final(uint8_t* digest) override;

private:
    CQmSHA1 whole_;
    uint8_t firstBlock_[20] = {};
    uint64_t count_ = 0;
};

}  // namespace qm
