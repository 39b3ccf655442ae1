// Sort keys for texts ordered by the row comparison (see row_sort_keys.h).
#include "document/row_sort_keys.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/os/collation.h"
#include "document/row_order.h"

namespace qm {

CQmRowSortKeys::CQmRowSortKeys() : collator_(GetRowCollator().GetCollation()) {}

CQmRowSortKeys::CQmRowSortKeys(const char* locale) : owned_(std::make_unique<CQmRowCollator>(locale)) {
    collator_ = owned_->GetCollation();
}

CQmRowSortKeys::~CQmRowSortKeys() = default;

void CQmRowSortKeys::Clear() {
    keys_.clear();
    bytes_.clear();
}

void CQmRowSortKeys::Reserve(size_t count) { keys_.reserve(count); }

void CQmRowSortKeys::Add(std::u16string_view text) {
    Key key{};
    key.hasNumber = GetLeadingRowNumber(text, key.number);
    key.offset = static_cast<uint32_t>(bytes_.size());
    const size_t start = bytes_.size();
    if (!collator_ || !collator_->AppendSortKey(text, bytes_)) {
        // Without collation data: code units with ASCII letters folded, high
        // byte first, so that comparing bytes compares code units.
        bytes_.resize(start + text.size() * 2);
        uint8_t* out = bytes_.data() + start;
        for (char16_t c : text) {
            const char16_t folded = FoldRowAscii(c);
            *out++ = static_cast<uint8_t>(folded >> 8);
            *out++ = static_cast<uint8_t>(folded & 0xFF);
        }
    }
    key.size = static_cast<uint32_t>(bytes_.size() - start);
    keys_.push_back(key);
}

int CQmRowSortKeys::Compare(size_t a, size_t b) const {
    const Key& x = keys_[a];
    const Key& y = keys_[b];
    if (x.hasNumber && y.hasNumber && x.number != y.number) return x.number < y.number ? -1 : 1;
    const size_t common = std::min(x.size, y.size);
    const int result = common ? std::memcmp(bytes_.data() + x.offset, bytes_.data() + y.offset, common) : 0;
    if (result != 0) return result < 0 ? -1 : 1;
    if (x.size == y.size) return 0;
    return x.size < y.size ? -1 : 1;
}

}  // namespace qm
