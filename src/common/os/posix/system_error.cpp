#include "common/os/system_error.h"

#include <cstring>
#include <cwchar>
#include <string_view>

#include "common/utf.h"

namespace qm::os {
namespace {

// strerror_r answers in the current locale's multibyte encoding (UTF-8 for a
// zh_CN.UTF-8 user, GB18030 for some older setups): decoded with the C
// library's own converter, a byte it rejects becoming '?'.
std::u16string LocaleTextToUtf16(std::string_view text) {
    std::u16string out;
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t wc;
        const size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out += u'?';
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        if (n == 0) break;
        const auto cp = static_cast<char32_t>(wc);
        if (cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)) AppendCodePoint(out, cp);
        else out += u'\uFFFD';
        i += n;
    }
    return out;
}

}  // namespace

bool GetSystemErrorText(uint32_t code, std::u16string& text) {
    text.clear();
    // glibc invents "Unknown error N" for codes it has no text for; it has
    // a name exactly for the codes it knows.
    if (code > 0x7FFFFFFFu || (code != 0 && strerrorname_np(static_cast<int>(code)) == nullptr)) return false;
    char buffer[1024];
    const char* message = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (!message) return false;
    text = LocaleTextToUtf16(message);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
    return true;
}

}  // namespace qm::os
