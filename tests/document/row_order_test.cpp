#include "document/row_order.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qm {
namespace {

TEST(RowTexts, LeadingNumbersCompareByValue) {
    const CQmRowCollator root("");
    EXPECT_LT(CompareRowTexts(root, u"9.txt", u"10.txt"), 0);
    EXPECT_GT(CompareRowTexts(root, u"100", u"99b"), 0);
    // Dates: the year decides first, the rest is compared as text.
    EXPECT_LT(CompareRowTexts(root, u"2021-12-31 23:59:59", u"2022-01-05 09:03:07"), 0);
    EXPECT_LT(CompareRowTexts(root, u"2022-01-05 09:03:07", u"2022-11-01 00:00:00"), 0);
    // Equal numbers fall through to the text.
    EXPECT_LT(CompareRowTexts(root, u"7a", u"7b"), 0);
    // Only one side starting with a digit: plain collation.
    EXPECT_LT(CompareRowTexts(root, u"10", u"abc"), 0);
}

TEST(RowTexts, RunsBeyondSixtyFourBitsCountAsTheLargestValue) {
    const CQmRowCollator root("");
    // Both runs exceed the range, so both are the largest value and the
    // texts decide ("1…" collates before "9…"), although 10^20 > 10^20 - 1.
    EXPECT_LT(CompareRowTexts(root, u"100000000000000000000", u"99999999999999999999"), 0);
    EXPECT_GT(CompareRowTexts(root, u"99999999999999999999", u"9223372036854775806"), 0);
}

TEST(RowTexts, LetterCaseIsIgnored) {
    const CQmRowCollator root("");
    EXPECT_EQ(CompareRowTexts(root, u"Readme.TXT", u"readme.txt"), 0);
    // Code-unit order would put "B" before "a".
    EXPECT_LT(CompareRowTexts(root, u"apple", u"Banana"), 0);
    EXPECT_GT(CompareRowTexts(root, u"Zeta", u"alpha"), 0);
    EXPECT_EQ(CompareRowTexts(root, u"", u""), 0);
    EXPECT_LT(CompareRowTexts(root, u"", u"a"), 0);
}

TEST(RowTexts, ChineseNamesFollowTheLocale) {
    // Pinyin order in a Chinese locale (bei before shang) differs from the
    // root order of the two characters.
    const CQmRowCollator chinese("zh_CN");
    const CQmRowCollator root("");
    EXPECT_LT(chinese.Compare(u"北京.txt", u"上海.txt"), 0);
    EXPECT_GT(root.Compare(u"北京.txt", u"上海.txt"), 0);
}

TEST(RowTexts, PosixLocaleNamesMapToIcuIds) {
    EXPECT_EQ(IcuLocaleFromPosix("zh_CN.UTF-8"), "zh_CN");
    EXPECT_EQ(IcuLocaleFromPosix("zh_CN.GB18030@stroke"), "zh_CN");
    EXPECT_EQ(IcuLocaleFromPosix("de_DE@euro"), "de_DE");
    EXPECT_EQ(IcuLocaleFromPosix("C"), "");
    EXPECT_EQ(IcuLocaleFromPosix("C.UTF-8"), "");
    EXPECT_EQ(IcuLocaleFromPosix("POSIX"), "");
    // An id ICU does not know still gives a working collator.
    const CQmRowCollator odd("xx_YY_bogus");
    EXPECT_LT(odd.Compare(u"a", u"B"), 0);
}

TEST(RowCompare, GroupsKeepTheirOrderInEitherDirection) {
    const QmRowKey a{1, 500, u"zzz"};
    const QmRowKey b{2, 1, u"aaa"};
    EXPECT_LT(CompareRows(a, b, QM_COLUMN_NAME, true, true), 0);
    EXPECT_LT(CompareRows(a, b, QM_COLUMN_NAME, false, true), 0);
    EXPECT_LT(CompareRows(a, b, QM_COLUMN_SIZE, false, true), 0);
    // Without group view the column alone decides.
    EXPECT_GT(CompareRows(a, b, QM_COLUMN_NAME, true, false), 0);
    EXPECT_LT(CompareRows(a, b, QM_COLUMN_NAME, false, false), 0);
}

TEST(RowCompare, SizeColumnComparesUnsignedLengths) {
    const QmRowKey small{1, 1, u"b"};
    const QmRowKey huge{1, UINT64_MAX, u"a"};
    EXPECT_LT(CompareRows(small, huge, QM_COLUMN_SIZE, true, true), 0);
    EXPECT_GT(CompareRows(small, huge, QM_COLUMN_SIZE, false, true), 0);
    EXPECT_EQ(CompareRows(small, small, QM_COLUMN_SIZE, true, true), 0);
    // Any other column compares the texts, not the lengths.
    EXPECT_GT(CompareRows(small, huge, QM_COLUMN_HASH, true, true), 0);
}

std::vector<std::u16string> Ordered(const std::vector<std::u16string_view>& paths) {
    std::vector<std::u16string> out;
    for (size_t i : OrderPathsForDisplay(paths)) out.emplace_back(paths[i]);
    return out;
}

TEST(DisplayOrder, GroupsByFirstAppearanceAndSortsNamesWithin) {
    const std::vector<std::u16string_view> paths = {
        u"/data/z/10.bin", u"/data/a.txt", u"/data/z/9.bin", u"/data/B.txt", u"/x.iso", u"/data/z/Alpha",
    };
    const std::vector<std::u16string> expected = {
        u"/data/z/9.bin", u"/data/z/10.bin", u"/data/z/Alpha", u"/data/a.txt", u"/data/B.txt", u"/x.iso",
    };
    EXPECT_EQ(Ordered(paths), expected);
}

// Linux names are exact, so directories differing in case are two groups;
// Windows names ignore the case of A-Z, so there they are one, in which the
// names equal ignoring case keep their order.
TEST(DisplayOrder, DirectoriesDifferingInCaseGroupAsTheSystemNamesThem) {
    const std::vector<std::u16string_view> paths = {u"/d/Sub/b", u"/d/sub/a", u"/d/Sub/a"};
#if defined(_WIN32)
    const std::vector<std::u16string> expected = {u"/d/sub/a", u"/d/Sub/a", u"/d/Sub/b"};
#else
    const std::vector<std::u16string> expected = {u"/d/Sub/a", u"/d/Sub/b", u"/d/sub/a"};
#endif
    EXPECT_EQ(Ordered(paths), expected);
}

TEST(DisplayOrder, NamesEqualIgnoringCaseKeepTheirOrder) {
    const std::vector<std::u16string_view> paths = {u"/d/a.TXT", u"/d/A.txt", u"/d/0"};
    const std::vector<std::u16string> expected = {u"/d/0", u"/d/a.TXT", u"/d/A.txt"};
    EXPECT_EQ(Ordered(paths), expected);
    EXPECT_TRUE(OrderPathsForDisplay({}).empty());
}

}  // namespace
}  // namespace qm
