// The 64-byte block buffering and length padding that MD4, MD5 and SHA-1
// share. Each engine supplies only its compression function (whole blocks,
// straight from the caller's memory when the input lines up) and the byte
// order of the message length in the last block.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qm {

template <std::endian LengthOrder>
class BlockBuffer64 {
public:
    static constexpr size_t kBlock = 64;

    void Reset() { byteCount_ = 0; }

    // `compress(data, blockCount)` consumes whole blocks.
    template <class Compress>
    void Update(const uint8_t* p, size_t size, Compress&& compress) {
        if (size == 0) return;
        const size_t index = static_cast<size_t>(byteCount_ % kBlock);
        byteCount_ += size;
        if (index != 0) {
            const size_t fill = kBlock - index;
            if (size < fill) {
                std::memcpy(buffer_ + index, p, size);
                return;
            }
            std::memcpy(buffer_ + index, p, fill);
            compress(buffer_, 1);
            p += fill;
            size -= fill;
        }
        const size_t whole = size / kBlock;
        if (whole != 0) {
            compress(p, whole);
            p += whole * kBlock;
            size -= whole * kBlock;
        }
        if (size != 0) std::memcpy(buffer_, p, size);
    }

    // Appends the 0x80 marker, zeros and the 64-bit bit count, and
    // compresses the last block(s). The buffer is then spent; Reset starts
    // a new message.
    template <class Compress>
    void Finish(Compress&& compress) {
        const uint64_t bits = byteCount_ * 8;
        size_t index = static_cast<size_t>(byteCount_ % kBlock);
        buffer_[index++] = 0x80;
        if (index > kBlock - 8) {
            std::memset(buffer_ + index, 0, kBlock - index);
            compress(buffer_, 1);
            index = 0;
        }
        std::memset(buffer_ + index, 0, kBlock - 8 - index);
        for (int i = 0; i < 8; ++i) {
            const int shift = LengthOrder == std::endian::little ? 8 * i : 8 * (7 - i);
            buffer_[kBlock - 8 + i] = static_cast<uint8_t>(bits >> shift);
        }
        compress(buffer_, 1);
    }

    // Leaves nothing of the message in memory.
    void Wipe() {
        std::memset(buffer_, 0, sizeof buffer_);
        byteCount_ = 0;
    }

    // The spent last block, for engines that scramble their state with it.
    const uint8_t* Data() const { return buffer_; }

private:
    uint64_t byteCount_ = 0;
    uint8_t buffer_[kBlock] = {};
};

}  // namespace qm
