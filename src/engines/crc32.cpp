// CQmCRC32 and its portable block functions, and the choice among the
// accelerated ones.
#include "engines/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#include "common/error_record.h"
#include "engines/cpu_features.h"

namespace qm {
namespace {

using SliceTables = std::array<std::array<uint32_t, 256>, 8>;

// Table 0 is the classic byte table; table k advances a byte that sits k
// positions before the end of an 8-byte group.
constexpr SliceTables MakeSliceTables() {
    SliceTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k) {
        for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
}

constexpr SliceTables kTables = MakeSliceTables();
static_assert(kTables[0][1] == 0x77073096u && kTables[0][255] == 0x2D02EF8Du);

uint32_t LoadLe32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

Crc32UpdateFn Resolve() {
    if (IsPortableCodeForced()) return Crc32UpdateSlicing8;
    Crc32UpdateFn best = Crc32UpdateSlicing8;
    for (const Crc32Implementation& impl : GetCrc32Implementations()) {
        if (impl.usable) best = impl.update;
    }
    return best;
}

}  // namespace

const uint32_t* Crc32ByteTable() { return kTables[0].data(); }

uint32_t Crc32UpdateBytewise(uint32_t crc, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ kTables[0][(crc ^ data[i]) & 0xFF];
    return crc;
}

uint32_t Crc32UpdateSlicing8(uint32_t crc, const uint8_t* data, size_t size) {
    while (size >= 8) {
        const uint32_t a = LoadLe32(data) ^ crc;
        const uint32_t b = LoadLe32(data + 4);
        crc = kTables[7][a & 0xFF] ^ kTables[6][(a >> 8) & 0xFF] ^ kTables[5][(a >> 16) & 0xFF] ^
              kTables[4][a >> 24] ^ kTables[3][b & 0xFF] ^ kTables[2][(b >> 8) & 0xFF] ^
              kTables[1][(b >> 16) & 0xFF] ^ kTables[0][b >> 24];
        data += 8;
        size -= 8;
    }
    return Crc32UpdateBytewise(crc, data, size);
}

std::span<const Crc32Implementation> GetCrc32Implementations() {
    static const auto table = [] {
        [[maybe_unused]] const CpuFeatures& cpu = GetCpuFeatures();
        return std::array<Crc32Implementation, 5>{{
            {"bytewise", Crc32UpdateBytewise, true},
            {"slicing8", Crc32UpdateSlicing8, true},
#if defined(QM_ENGINES_HAVE_PCLMUL)
            {"pclmul", Crc32UpdatePclmul, cpu.pclmul && cpu.sse41},
#else
            {"pclmul", nullptr, false},
#endif
#if defined(QM_ENGINES_HAVE_PCLMUL_VEX)
            {"pclmul_vex", Crc32UpdatePclmulVex, cpu.pclmul && cpu.avx},
#else
            {"pclmul_vex", nullptr, false},
#endif
#if defined(QM_ENGINES_HAVE_VPCLMUL)
            {"vpclmul", Crc32UpdateVpclmul, cpu.avx512Vpclmul},
#else
            {"vpclmul", nullptr, false},
#endif
        }};
    }();
    return table;
}

Crc32UpdateFn GetCrc32Update() {
    static const Crc32UpdateFn chosen = Resolve();
    return chosen;
}

CQmCRC32::CQmCRC32() : CQmCRC32(GetCrc32Update()) {}

CQmCRC32::CQmCRC32(Crc32UpdateFn update)
    : CQmHashObject(QM_HASH_CRC32, u"CRC32", 4), update_(update ? update : Crc32UpdateSlicing8) {}

bool CQmCRC32::Init() {
    register_ = 0xFFFFFFFFu;
    return true;
}

void CQmCRC32::Update(const void* data, uint32_t size) {
    if (size == 0) return;
    register_ = update_(register_, static_cast<const uint8_t*>(data), size);
}

uint32_t CQmCRC32::Final(uint8_t* digest) {
    const uint32_t value = ~register_;
    for (int i = 0; i < 4; ++i) digest[i] = static_cast<uint8_t>(value >> (8 * i));
    return 4;
}

bool CQmCRC32::FormatHashText(const uint8_t*, char16_t* buffer, size_t bufferChars) {
    if (bufferChars <= 8) {
        SetErrorText(os::kErrorBufferTooSmall, u"获取哈希值文本失败:缓冲区不足。");
        if (bufferChars > 0) buffer[0] = u'\0';
        return false;
    }
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    uint32_t value = ~register_;
    for (int i = 7; i >= 0; --i) {
        buffer[i] = kHex[value & 0x0F];
        value >>= 4;
    }
    buffer[8] = u'\0';
    return true;
}

}  // namespace qm
