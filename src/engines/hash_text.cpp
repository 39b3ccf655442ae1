// Hash text rules. The list view renders thousands of these per refresh, so
// the plain "%02X" case is written directly rather than through FormatText.
#include "engines/hash_text.h"

#include <algorithm>
#include <string_view>

#include "common/error_record.h"
#include "common/text_format.h"
#include "engines/hash_object.h"

namespace qm {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void FailBufferTooSmall(char16_t* buffer, size_t bufferChars) {
    SetErrorText(os::kErrorBufferTooSmall, u"获取哈希值文本失败:缓冲区不足。");
    if (buffer && bufferChars > 0) buffer[0] = u'\0';
}

// Writes 2*size digits without a terminator; returns the end.
char16_t* WriteHex(const uint8_t* data, size_t size, char16_t* out) {
    for (size_t i = 0; i < size; ++i) {
        *out++ = kHexDigits[data[i] >> 4];
        *out++ = kHexDigits[data[i] & 0x0F];
    }
    return out;
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

bool IsPlainByteFormat(const char16_t* format) {
    return format == nullptr || std::u16string_view(format) == u"%02X";
}

}  // namespace

bool GetHashValueText(int32_t classId, const uint8_t* digest, uint32_t size, char16_t* buffer,
                      size_t bufferChars) {
    if (!digest) size = 0;
    if (classId == QM_HASH_CRC32) {
        if (bufferChars <= 8 || !buffer) {
            FailBufferTooSmall(buffer, bufferChars);
            return false;
        }
        uint32_t value = 0;
        for (uint32_t i = 0; i < 4 && i < size; ++i) value |= static_cast<uint32_t>(digest[i]) << (8 * i);
        for (int i = 7; i >= 0; --i) {
            buffer[i] = kHexDigits[value & 0x0F];
            value >>= 4;
        }
        buffer[8] = u'\0';
        return true;
    }
    if (classId == QM_HASH_115) {
        if (bufferChars <= 2 * static_cast<size_t>(size) + 1 || !buffer) {
            FailBufferTooSmall(buffer, bufferChars);
            return false;
        }
        const uint32_t half = size / 2;
        char16_t* out = WriteHex(digest, half, buffer);
        *out++ = u'|';
        out = WriteHex(digest + half, size - half, out);
        *out = u'\0';
        return true;
    }
    if (bufferChars <= 2 * static_cast<size_t>(size) || !buffer) {
        FailBufferTooSmall(buffer, bufferChars);
        return false;
    }
    *WriteHex(digest, size, buffer) = u'\0';
    return true;
}

bool GetHashValueText(int32_t classId, const uint8_t* digest, uint32_t size, std::u16string& text) {
    char16_t buffer[2 * QM_MAX_DIGEST_SIZE + 2];
    if (size > QM_MAX_DIGEST_SIZE) {
        text.clear();
        FailBufferTooSmall(nullptr, 0);
        return false;
    }
    if (!GetHashValueText(classId, digest, size, buffer, sizeof buffer / sizeof buffer[0])) {
        text.clear();
        return false;
    }
    text.assign(buffer);
    return true;
}

uint32_t ParseHashValueText(int32_t classId, std::u16string_view text, uint8_t* digest, uint32_t digestCapacity) {
    if (!digest) return 0;
    if (classId == QM_HASH_CRC32) {
        // One to eight leading digits; anything after them ends the number.
        uint32_t value = 0;
        size_t digits = 0;
        for (; digits < text.size(); ++digits) {
            const int v = HexValue(text[digits]);
            if (v < 0) break;
            if (digits == 8) return 0;  // more than 32 bits
            value = (value << 4) | static_cast<uint32_t>(v);
        }
        if (digits == 0 || digestCapacity < 4) return 0;
        for (int i = 0; i < 4; ++i) digest[i] = static_cast<uint8_t>(value >> (8 * i));
        return 4;
    }

    // Pairs of digits in text order; for the 115 hash the "|" between the
    // two halves is passed over so the text GetHashValueText wrote reads back.
    std::u16string_view rest = text;
    uint32_t written = 0;
    while (written < digestCapacity) {
        if (classId == QM_HASH_115 && !rest.empty() && rest.front() == u'|') rest.remove_prefix(1);
        if (rest.size() < 2 || rest[0] == u'\0' || rest[1] == u'\0') break;
        const int hi = HexValue(rest[0]);
        const int lo = HexValue(rest[1]);
        digest[written++] = static_cast<uint8_t>(hi < 0 ? 0 : (lo < 0 ? hi : hi * 16 + lo));
        rest.remove_prefix(2);
    }
    return written;
}

uint32_t ParseHashValueText(int32_t classId, const char16_t* text, uint8_t* digest, uint32_t digestCapacity) {
    if (!text) return 0;
    return ParseHashValueText(classId, std::u16string_view(text), digest, digestCapacity);
}

size_t BytesToHexText(const uint8_t* data, size_t size, const char16_t* format, char16_t* buffer,
                      size_t bufferChars) {
    if (!buffer || bufferChars == 0) return 0;
    if (!data) size = 0;
    if (IsPlainByteFormat(format)) {
        const size_t fit = std::min(size, (bufferChars - 1) / 2);
        char16_t* end = WriteHex(data, fit, buffer);
        *end = u'\0';
        return static_cast<size_t>(end - buffer);
    }

    // The separator is whatever follows the last conversion letter.
    const std::u16string_view full(format);
    const size_t lastX = full.find_last_of(u"Xx");
    const std::u16string_view lastFormat = lastX == std::u16string_view::npos ? full : full.substr(0, lastX + 1);
    size_t written = 0;
    for (size_t i = 0; i < size; ++i) {
        const std::u16string piece = FormatText(i + 1 < size ? full : lastFormat, data[i]);
        if (written + piece.size() + 1 > bufferChars) break;
        piece.copy(buffer + written, piece.size());
        written += piece.size();
    }
    buffer[written] = u'\0';
    return written;
}

std::u16string BytesToHexText(const uint8_t* data, size_t size, const char16_t* format) {
    if (!data) size = 0;
    if (IsPlainByteFormat(format)) {
        std::u16string text(2 * size, u'\0');
        WriteHex(data, size, text.data());
        return text;
    }
    const std::u16string_view full(format);
    const size_t lastX = full.find_last_of(u"Xx");
    const std::u16string_view lastFormat = lastX == std::u16string_view::npos ? full : full.substr(0, lastX + 1);
    std::u16string text;
    for (size_t i = 0; i < size; ++i) text += FormatText(i + 1 < size ? full : lastFormat, data[i]);
    return text;
}

size_t HexTextToBytes(const char16_t* text, size_t maxBytes, uint8_t* buffer, size_t bufferBytes) {
    if (!text || !buffer) return 0;
    size_t written = 0;
    while (written < maxBytes && written < bufferBytes) {
        const char16_t c0 = text[2 * written];
        if (c0 == u'\0') break;
        const char16_t c1 = text[2 * written + 1];
        if (c1 == u'\0') break;
        const int hi = HexValue(c0);
        const int lo = HexValue(c1);
        buffer[written++] = static_cast<uint8_t>(hi < 0 ? 0 : (lo < 0 ? hi : hi * 16 + lo));
    }
    return written;
}

bool IsHexText(const char16_t* text, std::ptrdiff_t length, bool evenOnly) {
    if (!text) return false;
    std::ptrdiff_t count = 0;
    for (; length < 0 || count < length; ++count) {
        const char16_t c = text[count];
        if (c == u'\0') break;
        if (HexValue(c) < 0) return false;
    }
    return !evenOnly || count % 2 == 0;
}

}  // namespace qm
