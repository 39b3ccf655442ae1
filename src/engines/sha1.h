// CQmSHA1: SHA-1 of FIPS 180-4.
//
// Final destroys the running state (the chaining words are scrambled by one
// more compression), so a digest cannot be continued after it; the 115 link
// hash takes its intermediate digest by finalising a copy instead.
#pragma once

#include "engines/block_buffer.h"
#include "engines/hash_object.h"
#include "engines/sha1_impl.h"

namespace qm {

class CQmSHA1 : public CQmHashObject {
public:
    CQmSHA1();
    // An engine on one particular compression function (tests compare them).
    explicit CQmSHA1(Sha1BlocksFn blocks);
    // Copies carry the whole running state: chaining words, count and buffer.
    CQmSHA1(const CQmSHA1&) = default;
    CQmSHA1& operator=(const CQmSHA1&) = default;

    bool Init() override;
    void Update(const void* data, uint32_t size) override;
    uint32_t Final(uint8_t* digest) override;

private:
    uint32_t state_[5] = {};
    BlockBuffer64<std::endian::big> block_;
    Sha1BlocksFn blocks_;
};

}  // namespace qm
