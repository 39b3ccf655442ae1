#include "common/os/collation.h"

#include <windows.h>

#include <climits>
#include <string>

namespace qm::os {
namespace {

// "zh_CN" -> the LCID of "zh-CN"; "" or an unknown name -> the user's locale.
LCID LocaleFromName(const char* name) {
    if (!name || !*name) return LOCALE_USER_DEFAULT;
    std::wstring wide;
    for (const char* p = name; *p; ++p) wide += *p == '_' ? L'-' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    const LCID lcid = LocaleNameToLCID(wide.c_str(), 0);
    return lcid != 0 ? lcid : LOCALE_USER_DEFAULT;
}

bool FitsInt(std::u16string_view text) { return text.size() <= static_cast<size_t>(INT_MAX); }

const wchar_t* Wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }

}  // namespace

CaselessCollator::CaselessCollator(const char* locale) : locale_(LocaleFromName(locale)) {}

CaselessCollator::~CaselessCollator() = default;

bool CaselessCollator::IsOpen() const { return true; }

int CaselessCollator::Compare(std::u16string_view a, std::u16string_view b, bool& ok) const {
    ok = false;
    if (!FitsInt(a) || !FitsInt(b)) return 0;
    const int result = CompareStringW(locale_, NORM_IGNORECASE, Wide(a), static_cast<int>(a.size()), Wide(b),
                                      static_cast<int>(b.size()));
    if (result == 0) return 0;
    ok = true;
    return result == CSTR_LESS_THAN ? -1 : (result == CSTR_GREATER_THAN ? 1 : 0);
}

bool CaselessCollator::AppendSortKey(std::u16string_view text, std::vector<uint8_t>& key) const {
    if (!FitsInt(text)) return false;
    // The empty text has a key too (its level separators), which a length of
    // 0 would not give: it is taken as the NUL-terminated "".
    const wchar_t* source = text.empty() ? L"" : Wide(text);
    const int length = text.empty() ? -1 : static_cast<int>(text.size());
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int needed = LCMapStringW(locale_, flags, source, length, nullptr, 0);
    if (needed <= 0) return false;
    const size_t start = key.size();
    key.resize(start + static_cast<size_t>(needed));
    // With LCMAP_SORTKEY the destination is bytes, counted in bytes.
    const int written =
        LCMapStringW(locale_, flags, source, length, reinterpret_cast<LPWSTR>(key.data() + start), needed);
    if (written <= 0) {
        key.resize(start);
        return false;
    }
    key.resize(start + static_cast<size_t>(written) - 1);  // without the NUL
    return true;
}

}  // namespace qm::os
