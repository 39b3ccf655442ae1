// The row comparison of the file list (see row_order.h).
#include "document/row_order.h"

#include <algorithm>
#include <clocale>
#include <limits>
#include <unordered_map>

#include "common/os/path_rules.h"
#include "common/path_util.h"

namespace qm {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The value of the run of decimal digits at the start of `text` (which begins
// with one); a run beyond the signed 64-bit range counts as its largest value.
int64_t LeadingNumber(std::u16string_view text) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (char16_t c : text) {
        if (!IsDigit(c)) break;
        const int digit = c - u'0';
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

int CompareFoldedCodeUnits(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FoldRowAscii(a[i]);
        const char16_t y = FoldRowAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::u16string_view DirectoryPart(std::u16string_view path) { return PathFindDirectory(path); }

std::u16string_view NamePart(std::u16string_view path) {
    const size_t rootLength = os::PathRootLength(path);
    for (size_t i = path.size(); i > rootLength; --i) {
        if (os::IsPathSeparator(path[i - 1])) return path.substr(i);
    }
    return path.substr(rootLength);
}

}  // namespace

char16_t FoldRowAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool GetLeadingRowNumber(std::u16string_view text, int64_t& number) {
    if (text.empty() || !IsDigit(text.front())) return false;
    number = LeadingNumber(text);
    return true;
}

CQmRowCollator::CQmRowCollator(const char* locale) : collation_(locale ? locale : "") {}

CQmRowCollator::~CQmRowCollator() = default;

int CQmRowCollator::Compare(std::u16string_view a, std::u16string_view b) const {
    bool ok = false;
    const int result = collation_.Compare(a, b, ok);
    return ok ? result : CompareFoldedCodeUnits(a, b);
}

std::string IcuLocaleFromPosix(std::string_view posixName) {
    const size_t end = posixName.find_first_of(".@");
    std::string_view base = posixName.substr(0, end);
    if (base == "C" || base == "POSIX") return {};
    return std::string(base);
}

const CQmRowCollator& GetRowCollator() {
    // One per thread: a collator keeps scratch state while it compares.
    thread_local const CQmRowCollator collator([] {
        const char* name = std::setlocale(LC_COLLATE, nullptr);
        return IcuLocaleFromPosix(name ? name : "");
    }().c_str());
    return collator;
}

int CompareRowTexts(const CQmRowCollator& collator, std::u16string_view a, std::u16string_view b) {
    if (!a.empty() && !b.empty() && IsDigit(a.front()) && IsDigit(b.front())) {
        const int64_t x = LeadingNumber(a);
        const int64_t y = LeadingNumber(b);
        if (x != y) return x < y ? -1 : 1;
    }
    return collator.Compare(a, b);
}

int CompareRowTexts(std::u16string_view a, std::u16string_view b) {
    return CompareRowTexts(GetRowCollator(), a, b);
}

int CompareRowLengths(uint64_t a, uint64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareRows(const QmRowKey& a, const QmRowKey& b, int column, bool ascending, bool groupView) {
    if (groupView && a.groupId != b.groupId) return a.groupId < b.groupId ? -1 : 1;
    const int result =
        column == QM_COLUMN_SIZE ? CompareRowLengths(a.length, b.length) : CompareRowTexts(a.text, b.text);
    return ascending ? result : -result;
}

std::vector<size_t> OrderPathsForDisplay(std::span<const std::u16string_view> paths) {
    std::vector<int> groups(paths.size());
    std::unordered_map<std::u16string_view, int, os::PathTextHasher, os::PathTextEquals> groupIds;
    std::u16string_view lastDirectory;
    for (size_t i = 0; i < paths.size(); ++i) {
        // A folder's files mostly come together: the folder of the one
        // before needs no lookup.
        const std::u16string_view directory = DirectoryPart(paths[i]);
        if (i > 0 && os::PathTextEqual(directory, lastDirectory)) {
            groups[i] = groups[i - 1];
            continue;
        }
        const auto [it, added] = groupIds.try_emplace(directory, static_cast<int>(groupIds.size()) + 1);
        groups[i] = it->second;
        lastDirectory = directory;
    }
    std::vector<size_t> order(paths.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    const CQmRowCollator& collator = GetRowCollator();
    const auto before = [&](size_t x, size_t y) {
        if (groups[x] != groups[y]) return groups[x] < groups[y];
        return CompareRowTexts(collator, NamePart(paths[x]), NamePart(paths[y])) < 0;
    };
    // A new task's items come from the enumeration with each folder's files
    // together and in name order already: one comparison per item tells so.
    if (std::is_sorted(order.begin(), order.end(), before)) return order;
    std::stable_sort(order.begin(), order.end(), before);
    return order;
}

}  // namespace qm
