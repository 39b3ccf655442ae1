// CQmCRC32: the CRC-32 of IEEE 802.3 in its bit-reflected form (initial
// register 0xFFFFFFFF, final complement).
#pragma once

#include "engines/crc32_impl.h"
#include "engines/hash_object.h"

namespace qm {

class CQmCRC32 : public CQmHashObject {
public:
    CQmCRC32();
    // An engine on one particular block function (tests compare them all).
    explicit CQmCRC32(Crc32UpdateFn update);

    bool Init() override;
    void Update(const void* data, uint32_t size) override;
    // Writes the complement of the register low byte first. The register is
    // kept, so a second Final writes the same 4 bytes.
    uint32_t Final(uint8_t* digest) override;
    // "%08X" of the value the last Final produced; `digest` is not read.
    bool FormatHashText(const uint8_t* digest, char16_t* buffer, size_t bufferChars) override;

private:
    uint32_t register_ = 0xFFFFFFFFu;
    Crc32UpdateFn update_;
};

}  // namespace qm
