// Locale-aware text collation with letter case ignored, for sorting the rows
// of the file list.
//
// Windows collates with CompareStringW(NORM_IGNORECASE) and makes sort keys
// with LCMapStringW(LCMAP_SORTKEY | NORM_IGNORECASE); Linux uses an ICU
// collator at secondary strength (letters and accents count, case does not).
// Either way comparing two sort keys byte by byte gives what comparing the
// two texts gives.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#if !defined(_WIN32)
struct UCollator;
#endif

namespace qm::os {

class CaselessCollator {
public:
    // `locale` names the language whose order is used, as "zh_CN" or "de".
    // On Linux "" is the root collation (what the C locale gets) and a
    // locale ICU cannot open falls back to it; on Windows "" and a locale the
    // system does not know are the user's own locale (LOCALE_USER_DEFAULT).
    explicit CaselessCollator(const char* locale);
    ~CaselessCollator();
    CaselessCollator(const CaselessCollator&) = delete;
    CaselessCollator& operator=(const CaselessCollator&) = delete;

    // False when the system has no collation to offer (no ICU data); callers
    // then compare code units themselves.
    bool IsOpen() const;

    // -1, 0 or 1. False in `ok` when the system could not compare the two
    // (texts beyond its length limit); the result is then 0.
    int Compare(std::u16string_view a, std::u16string_view b, bool& ok) const;

    // Appends the sort key of `text` to `key`, without the terminating zero
    // byte (no other byte of a key is zero, so keys compare without it as
    // with it). False, with `key` as it was, when the system gives no key.
    bool AppendSortKey(std::u16string_view text, std::vector<uint8_t>& key) const;

private:
#if defined(_WIN32)
    uint32_t locale_ = 0;  // an LCID
#else
    UCollator* collator_ = nullptr;
#endif
};

}  // namespace qm::os
