// UTF-8 <-> UTF-16 conversion, and the mapping of file-system paths.
//
// The core keeps every text as UTF-16. Texts from files are converted
// strictly (an ill-formed sequence is a failure the caller can act on);
// file names from the OS are bytes that need not be UTF-8 at all, so they are
// mapped losslessly: a byte that is not part of a well-formed sequence becomes
// the lone surrogate U+DC80 + byte and turns back into that byte at the OS call.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// Strict: returns false (and leaves `out` unspecified) on any ill-formed
// sequence: a bad lead or continuation byte, an over-long form, a surrogate
// code point, a value above U+10FFFF, or a sequence cut off by the end.
bool Utf8ToUtf16(std::string_view in, std::u16string& out);

// Replaces every ill-formed sequence by U+FFFD.
std::u16string Utf8ToUtf16Lossy(std::string_view in);

// Lone surrogates become U+FFFD (EF BF BD).
std::string Utf16ToUtf8(std::u16string_view in);

// Appends a code point (up to U+10FFFF, no surrogate) as one or two units.
void AppendCodePoint(std::u16string& out, char32_t cp);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view in);

// True when the text holds a surrogate without its partner: a file name that
// was not UTF-8 on disk (see PathFromOs), or a Windows name that was never
// well-formed UTF-16. Such a text has no faithful UTF-8 form.
bool HasUnpairedSurrogate(std::u16string_view text);

// File-system names: lossless in both directions for any byte string.
std::u16string PathFromOs(std::string_view bytes);
std::string PathToOs(std::u16string_view path);

}  // namespace qm
