// Text encodings: wide (UTF-16) text to and from bytes, and byte-order-mark
// detection.
//
// Texts are UTF-16 in memory; bytes appear only where a text is hashed or a
// text file is read or written. ANSI means the calling thread's ANSI code
// page as the OS layer chooses it (os/ansi_codepage.h: the thread's code page
// on Windows; on Linux the locale's charset when that is not UTF-8, otherwise
// CP936 (GBK), the code page of the Chinese systems whose lists the program
// reads, with QUORVIA_ANSI_CODEPAGE overriding the choice).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

enum QmEncoding : int32_t {
    QM_ENC_AUTO = 0,     // detect (reading only)
    QM_ENC_ANSI = 1,     // the ANSI code page
    QM_ENC_UTF8 = 2,     // BOM EF BB BF
    QM_ENC_UTF16LE = 3,  // BOM FF FE
    QM_ENC_UTF16BE = 4,  // BOM FE FF (detected, not converted)
    QM_ENC_UTF32LE = 5,  // BOM FF FE 00 00 (detected, not converted)
    QM_ENC_UTF32BE = 6,  // BOM 00 00 FE FF (detected, not converted)
    QM_ENC_NONE = 256,   // detection found no BOM
};

// Wide text to bytes in `encoding` (ANSI, UTF-8 or UTF-16LE). `withNul`
// appends the encoded terminator (one zero byte, two for UTF-16LE). ANSI
// writes '?' for a character the code page lacks, UTF-8 writes U+FFFD for an
// unpaired surrogate. Any other encoding records "转换字符串编码方式失败:不支持的
// 编码方式." and gives false; `bytes` is then left as it was.
bool EncodeText(std::u16string_view text, bool withNul, int32_t encoding, std::string& bytes);
// The same for a character pointer: `length` 0 or negative means up to the
// terminating NUL.
bool EncodeText(const char16_t* text, std::ptrdiff_t length, bool withNul, int32_t encoding, std::string& bytes);

// Bytes to wide text. QM_ENC_AUTO decodes by BOM (no BOM: UTF-8); ANSI stops
// at the first zero byte; UTF-8 skips a leading BOM; UTF-16LE takes the bytes
// as they are (an odd last byte is ignored, a BOM stays as U+FEFF).
// Ill-formed input never fails: each bad sequence becomes U+FFFD. UTF-16BE
// and UTF-32 fail as unsupported, leaving `text` as it was.
bool DecodeText(const void* bytes, size_t size, int32_t encoding, std::u16string& text);

// The BOM at the start of the data: QM_ENC_UTF8 to QM_ENC_UTF32BE, or
// QM_ENC_NONE. FF FE 00 00 is reported as UTF-16LE, as the marks are
// compared in id order.
int32_t DetectBom(const void* bytes, size_t size);

// The BOM bytes of an encoding (empty for ANSI and the others).
std::string_view BomOf(int32_t encoding);

// The name of the ANSI code page the calling thread uses now ("CP936").
std::string GetAnsiCodePage();

}  // namespace qm
