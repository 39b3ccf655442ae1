#include "common/os/ansi_codepage.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace qm::os {

std::string GetAnsiCodePageName() {
    DWORD codePage = 0;
    // The code page CP_THREAD_ACP stands for: the thread locale's ANSI code page.
    if (GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t)) == 0 ||
        codePage == 0) {
        codePage = GetACP();
    }
    return "CP" + std::to_string(codePage);
}

bool WideToAnsi(std::u16string_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    if (text.size() > static_cast<size_t>(INT_MAX)) return false;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    // No default-character handling: the code page's own stands for a
    // character it lacks. A text that converts to nothing gives nothing.
    const int needed = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return true;
    out.resize(static_cast<size_t>(needed));
    const int written = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, length, out.data(), needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return true;
}

bool AnsiToWide(const char* bytes, size_t size, std::u16string& out) {
    out.clear();
    if (!bytes) return true;
    if (const void* nul = std::memchr(bytes, 0, size)) size = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
    if (size == 0) return true;
    if (size > static_cast<size_t>(INT_MAX)) return false;
    const int length = static_cast<int>(size);
    const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, length, nullptr, 0);
    if (needed <= 0) return true;
    out.resize(static_cast<size_t>(needed));
    const int written =
        MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, length, reinterpret_cast<wchar_t*>(out.data()), needed);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return true;
}

}  // namespace qm::os
