// Sort keys for many texts ordered by the row comparison: the file list's
// text columns, and the names of one directory as the enumeration lists them.
//
// Sorting a directory group compares cell texts O(n log n) times. Collating
// two texts from scratch each time is what makes a large list slow to sort,
// so the texts of one sort are turned into keys once: the number that the
// leading decimal digits spell (when the text begins with one) and the
// collation sort key of the whole text. Comparing two keys gives exactly what
// CompareRowTexts gives for the two texts — the leading numbers decide when
// both texts have one and they differ, otherwise the collation does — as long
// as both use the same collation. The collator here is opened the way the
// row collator of the calling thread is (the locale LC_COLLATE names when the
// thread first asks, letter case ignored), and a test holds the two orders
// equal on names with digits, Chinese and case variants.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qm {

namespace os {
class CaselessCollator;
}
class CQmRowCollator;

class CQmRowSortKeys {
public:
    // The collation of the calling thread's row collator.
    CQmRowSortKeys();
    // The collation that CQmRowCollator(locale) uses (for tests).
    explicit CQmRowSortKeys(const char* locale);
    ~CQmRowSortKeys();
    CQmRowSortKeys(const CQmRowSortKeys&) = delete;
    CQmRowSortKeys& operator=(const CQmRowSortKeys&) = delete;

    // Forgets every key; the memory is kept for the next group.
    void Clear();
    void Reserve(size_t count);
    // Appends the key of `text`; keys are numbered from 0 in the order added.
    void Add(std::u16string_view text);
    size_t GetCount() const { return keys_.size(); }
    // -1, 0 or 1, as CompareRowTexts of the two texts.
    int Compare(size_t a, size_t b) const;

private:
    struct Key {
        int64_t number;     // the leading digits' value; meaningful with hasNumber
        uint32_t offset;    // into bytes_
        uint32_t size;      // bytes of the collation key, without its NUL
        bool hasNumber;
    };

    const os::CaselessCollator* collator_ = nullptr;  // null: code units with ASCII letters folded
    std::unique_ptr<CQmRowCollator> owned_;  // the collator of the explicit-locale form
    std::vector<Key> keys_;
    std::vector<uint8_t> bytes_;
};

}  // namespace qm
