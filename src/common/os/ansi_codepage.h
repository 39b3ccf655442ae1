// The ANSI code page: the calling thread's legacy multibyte encoding, which
// older lists and texts from Chinese Windows systems are written in.
//
// On Windows it is the thread's code page (CP_THREAD_ACP). On Linux it is the
// locale's charset when that is not UTF-8 (or ASCII), otherwise CP936 (GBK),
// and QUORVIA_ANSI_CODEPAGE (an iconv name, or a number such as 936)
// overrides the choice there. UTF-8 is not this layer's business: the core
// converts it with its own strict code on every system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::os {

// The name of the code page in force now for the calling thread: "CP936",
// "CP1252", or a charset name such as "GB18030" or "ISO-8859-1".
std::string GetAnsiCodePageName();

// Wide text to the code page. A character the code page lacks becomes '?'
// (the code page's default character). False, with `out` unspecified, only
// when the system cannot convert to the code page at all.
bool WideToAnsi(std::u16string_view text, std::string& out);

// Code-page bytes to wide text, up to the first zero byte. A byte sequence
// that is no character of the code page gives a replacement character.
// False, with `out` unspecified, only when the system cannot convert from
// the code page at all.
bool AnsiToWide(const char* bytes, size_t size, std::u16string& out);

}  // namespace qm::os
