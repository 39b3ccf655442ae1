#include "common/os/collation.h"

#include <unicode/ucol.h>

#include <limits>

namespace qm::os {
namespace {

constexpr size_t kMaxLength = static_cast<size_t>(std::numeric_limits<int32_t>::max());

UCollator* OpenCollator(const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(locale, &status);
    if (U_FAILURE(status)) {
        if (collator) ucol_close(collator);
        collator = nullptr;
    }
    if (!collator && locale && *locale) {
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
        if (U_FAILURE(status)) {
            if (collator) ucol_close(collator);
            collator = nullptr;
        }
    }
    // Secondary strength: letters and accents count, letter case does not.
    if (collator) ucol_setStrength(collator, UCOL_SECONDARY);
    return collator;
}

}  // namespace

CaselessCollator::CaselessCollator(const char* locale) : collator_(OpenCollator(locale ? locale : "")) {}

CaselessCollator::~CaselessCollator() {
    if (collator_) ucol_close(collator_);
}

bool CaselessCollator::IsOpen() const { return collator_ != nullptr; }

int CaselessCollator::Compare(std::u16string_view a, std::u16string_view b, bool& ok) const {
    ok = collator_ && a.size() <= kMaxLength && b.size() <= kMaxLength;
    if (!ok) return 0;
    const UCollationResult result = ucol_strcoll(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                 static_cast<int32_t>(b.size()));
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

bool CaselessCollator::AppendSortKey(std::u16string_view text, std::vector<uint8_t>& key) const {
    if (!collator_ || text.size() > kMaxLength) return false;
    const size_t start = key.size();
    // The sort key holds a few bytes per character at secondary strength;
    // ICU says how many it needs when the first guess is short.
    size_t room = text.size() * 4 + 16;
    for (;;) {
        key.resize(start + room);
        const int32_t needed = ucol_getSortKey(collator_, text.data(), static_cast<int32_t>(text.size()),
                                               key.data() + start, static_cast<int32_t>(room));
        if (needed <= 0) {
            key.resize(start);
            return false;
        }
        if (static_cast<size_t>(needed) <= room) {
            key.resize(start + static_cast<size_t>(needed) - 1);  // without the NUL
            return true;
        }
        room = static_cast<size_t>(needed);
    }
}

}  // namespace qm::os
