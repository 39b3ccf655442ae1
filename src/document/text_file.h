// Whole text files: reading with the automatic choice between UTF-8 and the
// ANSI code page, line splitting and trimming, and writing with an optional
// byte-order mark. Hash lists are read and written through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/encoding.h"

namespace qm {

// Text files larger than this (100 MiB) are refused.
inline constexpr uint64_t kMaxTextFileSize = 0x6400000;

// Reads and decodes a whole file.
// - `encoding` QM_ENC_AUTO: a BOM decides; without one the bytes are UTF-8
//   when they are well-formed UTF-8, else ANSI.
// - another `encoding` with `strict`: the file's BOM must name that encoding
//   (no BOM counts as QM_ENC_NONE), else "读取文件失败:文件编码信息不匹配。".
// - another `encoding` without `strict`: decoded with it.
// A detected BOM is never part of the text. On failure `text` is untouched
// and the reason recorded (the whole-file reader's texts, or the decoder's).
bool ReadTextFile(std::u16string_view path, int32_t encoding, bool strict, std::u16string& text);

// ReadTextFile split at line feeds; the carriage returns ending each line are
// removed. On failure `lines` is untouched.
bool ReadTextLines(std::u16string_view path, int32_t encoding, bool strict, std::vector<std::u16string>& lines);

// ReadTextFile's choice of decoding and the decoding itself, for bytes that
// came from elsewhere than a file (standard input).
bool DecodeTextData(std::string_view data, int32_t encoding, bool strict, std::u16string& text);
// ReadTextLines' splitting: at line feeds, without the carriage returns that
// end each line.
void SplitTextLines(std::u16string_view text, std::vector<std::u16string>& lines);

// Encodes `text` (ANSI, UTF-8 or UTF-16LE) and writes it, after the BOM when
// `withBom` is set and the encoding has one. Write failures are recorded as
// "写入文件[%s]失败" with the system's reason.
bool WriteTextFile(std::u16string_view path, int32_t encoding, bool withBom, std::u16string_view text);
// The same for a character pointer: `length` 0 or negative means up to the NUL.
bool WriteTextFile(std::u16string_view path, int32_t encoding, bool withBom, const char16_t* text,
                   std::ptrdiff_t length);

// Splits at every `separator`: each separator ends a field (empty fields
// stay), and what follows the last one is a field only when it is not empty.
// "a\n\nb" -> {"a", "", "b"}; "a\n" -> {"a"}; "" -> {}. Returns the count.
size_t SplitText(std::u16string_view text, std::vector<std::u16string>& lines, char16_t separator);

// Removes leading and trailing spaces, tabs, carriage returns and line feeds
// from every line.
void TrimLines(std::vector<std::u16string>& lines);

}  // namespace qm
