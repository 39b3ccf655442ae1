// Hash text rules: a stored digest to text and back, for each class id.
//
// The document, the list view, the exports and the list files all convert
// through these functions rather than through an engine, so a digest can be
// shown without creating one.
//
//   CRC32   "%08X" of the 4 digest bytes read as one little-endian value
//   115网盘  40 digits, "|", 40 digits (whole file first, first 128 KiB second)
//   others  every byte as "%02X"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Writes the hash text of `digest` (`size` bytes) for `classId`, NUL-
// terminated. The buffer must be longer than the text: more than 8 characters
// for CRC32, more than 2*size+1 for 115网盘, more than 2*size otherwise. When
// it is not, records "获取哈希值文本失败:缓冲区不足。", writes an empty text
// when there is room for the NUL and returns false.
bool GetHashValueText(int32_t classId, const uint8_t* digest, uint32_t size, char16_t* buffer,
                      size_t bufferChars);
// The same into a string (never fails for size <= QM_MAX_DIGEST_SIZE).
bool GetHashValueText(int32_t classId, const uint8_t* digest, uint32_t size, std::u16string& text);

// The inverse of GetHashValueText: returns the number of digest bytes written
// to `digest` (at most `digestCapacity`), 0 when nothing could be read.
// CRC32 takes one to eight hexadecimal digits as a 32-bit value and stores it
// low byte first. Other ids convert the text pair by pair (HexTextToBytes);
// for 115网盘 the two halves may stand joined or with the "|" between them.
uint32_t ParseHashValueText(int32_t classId, const char16_t* text, uint8_t* digest, uint32_t digestCapacity);
uint32_t ParseHashValueText(int32_t classId, std::u16string_view text, uint8_t* digest, uint32_t digestCapacity);

// Writes each byte with `format` (null means "%02X"); text in `format` after
// its last "X" (a separator) is left out after the last byte. An empty input
// writes an empty text. Stops before a byte whose text would not fit. Returns
// the characters written, not counting the NUL (always written when
// bufferChars > 0).
size_t BytesToHexText(const uint8_t* data, size_t size, const char16_t* format, char16_t* buffer,
                      size_t bufferChars);
std::u16string BytesToHexText(const uint8_t* data, size_t size, const char16_t* format = nullptr);

// Converts two characters at a time as an unsigned base-16 number (a pair
// that does not begin with a hexadecimal digit gives 0; one whose second
// character is not one gives the value of the first). Stops at the first NUL
// in either position of a pair, after `maxBytes` bytes or when the buffer is
// full. Returns the bytes written.
size_t HexTextToBytes(const char16_t* text, size_t maxBytes, uint8_t* buffer, size_t bufferBytes);

// True when the first `length` characters (up to the NUL when `length` is -1;
// the check stops at a NUL in any case) are all hexadecimal digits of either
// case and, with `evenOnly`, their count is even.
bool IsHexText(const char16_t* text, std::ptrdiff_t length, bool evenOnly);

}  // namespace qm
