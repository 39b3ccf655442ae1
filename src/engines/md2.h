// MD2 (RFC 1319) and MD4 (RFC 1320) computed by our own code. The provider
// engines fall back on these where the cryptographic library lacks the
// algorithm, so the MD2 and MD4 entries give the same digests everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engines/block_buffer.h"

namespace qm {

class Md2Context {
public:
    void Init();
    void Update(const uint8_t* data, size_t size);
    void Final(uint8_t digest[16]);

private:
    void Transform(const uint8_t block[16]);

    uint8_t state_[16] = {};
    uint8_t checksum_[16] = {};
    uint8_t buffer_[16] = {};
    size_t count_ = 0;  // bytes in buffer_
};

class Md4Context {
public:
    void Init();
    void Update(const uint8_t* data, size_t size);
    void Final(uint8_t digest[16]);

private:
    uint32_t state_[4] = {};
    BlockBuffer64<std::endian::little> block_;
};

}  // namespace qm
