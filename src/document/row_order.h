// The order of the rows of the file list.
//
// The list view sorts its rows by a clicked column, and the command-line
// front end prints a new task's files in the order the list view shows them.
// Both use the comparison below, so a list saved from either program names its
// files in the same order.
//
// Texts compare like this: when both begin with decimal digits, the numbers
// those digits spell decide first (so "9.txt" comes before "10.txt"); then the
// whole texts are collated for the user's locale with case differences
// ignored (Chinese names sort as the user's locale sorts them).
//
// Callers sort with std::stable_sort: a number rule layered over a collation
// is not a strict weak ordering for every exotic name (a superscript digit
// collates like a digit but is not one), and std::sort may read outside the
// range when the comparison is inconsistent; the merge sort never does.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/os/collation.h"

namespace qm {

// The list view's columns, in creation order.
enum QmListColumn : int {
    QM_COLUMN_NAME = 0,    // file name
    QM_COLUMN_SIZE = 1,    // length in bytes
    QM_COLUMN_TIME = 2,    // last-write time as text
    QM_COLUMN_HASH = 3,    // hash text or status
    QM_COLUMN_VERIFY = 4,  // verification status
};

// A locale-aware, case-ignoring text comparison. Not shared between threads:
// each thread uses its own (GetRowCollator gives the calling thread's).
class CQmRowCollator {
public:
    // `locale` is a locale id ("zh_CN", "de"); "" is the root collation on
    // Linux and the user's own on Windows (os/collation.h says what an
    // unknown id gives). When the system has no collation to offer at all the
    // texts are compared by code unit with ASCII letters folded.
    explicit CQmRowCollator(const char* locale);
    ~CQmRowCollator();
    CQmRowCollator(const CQmRowCollator&) = delete;
    CQmRowCollator& operator=(const CQmRowCollator&) = delete;

    // -1, 0 or 1.
    int Compare(std::u16string_view a, std::u16string_view b) const;

    // The system collation Compare uses; null when it compares code units
    // with ASCII letters folded (FoldRowAscii). Sort keys made by it order as
    // Compare does.
    const os::CaselessCollator* GetCollation() const { return collation_.IsOpen() ? &collation_ : nullptr; }

private:
    os::CaselessCollator collation_;
};

// The locale id for a POSIX locale name as setlocale reports it:
// "zh_CN.UTF-8" and "zh_CN.GB18030@x" give "zh_CN"; "C", "POSIX" and "" give
// "" (the root collation).
std::string IcuLocaleFromPosix(std::string_view posixName);

// The calling thread's collator for the locale that LC_COLLATE names when the
// thread first asks for it ("C", as on Windows unless the program sets the C
// runtime's locale, gives ""; see CQmRowCollator).
const CQmRowCollator& GetRowCollator();

// The number the leading decimal digits of a cell text spell, as the row
// comparison reads it (a run beyond the signed 64-bit range counts as its
// largest value); false when the text does not begin with a digit.
bool GetLeadingRowNumber(std::u16string_view text, int64_t& number);

// A code unit with ASCII letters folded to lower case, as the comparison
// without collation data folds them.
char16_t FoldRowAscii(char16_t c);

// The comparison of two cell texts (number prefix, then collation): -1, 0, 1.
int CompareRowTexts(const CQmRowCollator& collator, std::u16string_view a, std::u16string_view b);
int CompareRowTexts(std::u16string_view a, std::u16string_view b);

// Lengths compare as unsigned numbers: -1, 0, 1.
int CompareRowLengths(uint64_t a, uint64_t b);

// What the comparison needs to know of one row.
struct QmRowKey {
    int groupId = 0;          // directory group, 1, 2, … in order of first appearance
    uint64_t length = 0;      // the size column's value
    std::u16string_view text; // the cell text of the sorted column (unused for the size column)
};

// The list view's row comparison: with group view, rows of different groups
// keep their groups' order whatever the direction; within a group the size
// column compares lengths and every other column compares texts; descending
// negates. Negative, zero or positive.
int CompareRows(const QmRowKey& a, const QmRowKey& b, int column, bool ascending, bool groupView);

// The order in which the list view shows a new task's files, given their full
// paths in document order: directory groups in order of first appearance (the
// directory part of the path, compared exactly: Linux names are
// case-sensitive), and within each group the file names ascending by the row
// comparison; equal names keep their relative order. Returns the indexes of
// `paths` in display order.
std::vector<size_t> OrderPathsForDisplay(std::span<const std::u16string_view> paths);

}  // namespace qm
