// CQmMD5: MD5 of RFC 1321. Final clears the whole running state.
#pragma once

#include <cstddef>

#include "engines/block_buffer.h"
#include "engines/hash_object.h"

namespace qm {

class CQmMD5 : public CQmHashObject {
public:
    CQmMD5();

    bool Init() override;
    void Update(const void* data, uint32_t size) override;
    uint32_t Final(uint8_t* digest) override;

private:
    uint32_t state_[4] = {};
    BlockBuffer64<std::endian::little> block_;
};

// Compresses `blocks` consecutive 64-byte blocks into A, B, C, D.
void Md5Blocks(uint32_t state[4], const uint8_t* data, size_t blocks);

}  // namespace qm
