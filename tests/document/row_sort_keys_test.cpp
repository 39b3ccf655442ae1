// The file list's sort keys must order texts exactly as the row comparison
// does, or a list sorted in the window would differ from the same list
// sorted by the command-line front end.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "document/row_order.h"
#include "document/row_sort_keys.h"

namespace qm {
namespace {

// Names of the kinds a file list holds: leading numbers of every size
// (beyond 64 bits too), zero padding, letter case variants, Chinese, fullwidth
// and superscript digits that collate like digits without being ones, dates
// as the time column shows them, hash texts, empty cells.
std::vector<std::u16string> RandomTexts(size_t count, uint32_t seed) {
    static const std::u16string pieces[] = {
        u"0",     u"1",       u"9",   u"10",     u"007",  u"99999999999999999999999", u"a",   u"A",
        u"b",     u"B",       u"z",   u"Z",      u"文件", u"测试",                    u"中",  u"１",
        u"²",     u".",       u"-",   u" ",      u"_",    u"é",                       u"E",   u"2024-01-05 09:03:07",
        u"9F3A",  u"10B2",    u"ß",   u"ss",     u"Ä",    u"ä",                       u"txt", u"TXT",
    };
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 4);
    std::vector<std::u16string> texts;
    for (size_t i = 0; i < count; ++i) {
        std::u16string text;
        for (int n = length(random); n > 0; --n) text += pieces[piece(random)];
        texts.push_back(text);
    }
    return texts;
}

class SortKeysTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SortKeysTest, EveryPairComparesAsTheRowComparison) {
    const CQmRowCollator collator(GetParam());
    CQmRowSortKeys keys(GetParam());
    const std::vector<std::u16string> texts = RandomTexts(300, 7);
    for (const std::u16string& text : texts) keys.Add(text);
    for (size_t a = 0; a < texts.size(); ++a) {
        for (size_t b = 0; b < texts.size(); ++b) {
            ASSERT_EQ(keys.Compare(a, b), CompareRowTexts(collator, texts[a], texts[b]))
                << "a=" << a << " b=" << b;
        }
    }
}

TEST_P(SortKeysTest, StableSortGivesTheSameOrder) {
    const CQmRowCollator collator(GetParam());
    CQmRowSortKeys keys(GetParam());
    const std::vector<std::u16string> texts = RandomTexts(3000, 11);
    for (const std::u16string& text : texts) keys.Add(text);
    std::vector<size_t> byText(texts.size());
    std::iota(byText.begin(), byText.end(), 0);
    std::vector<size_t> byKey = byText;
    std::stable_sort(byText.begin(), byText.end(),
                     [&](size_t a, size_t b) { return CompareRowTexts(collator, texts[a], texts[b]) < 0; });
    std::stable_sort(byKey.begin(), byKey.end(), [&](size_t a, size_t b) { return keys.Compare(a, b) < 0; });
    EXPECT_EQ(byKey, byText);
}

INSTANTIATE_TEST_SUITE_P(Locales, SortKeysTest, ::testing::Values("", "zh_CN", "en_US", "de"));

TEST(SortKeys, DefaultCollationIsTheThreadsRowCollation) {
    CQmRowSortKeys keys;
    const std::vector<std::u16string> texts = RandomTexts(200, 3);
    for (const std::u16string& text : texts) keys.Add(text);
    for (size_t a = 0; a < texts.size(); ++a) {
        for (size_t b = 0; b < texts.size(); ++b) {
            ASSERT_EQ(keys.Compare(a, b), CompareRowTexts(texts[a], texts[b])) << "a=" << a << " b=" << b;
        }
    }
    // The order the list view's comparison gives, descending too.
    for (bool ascending : {true, false}) {
        std::vector<size_t> byRows(texts.size());
        std::iota(byRows.begin(), byRows.end(), 0);
        std::vector<size_t> byKey = byRows;
        std::stable_sort(byRows.begin(), byRows.end(), [&](size_t a, size_t b) {
            return CompareRows({1, 0, texts[a]}, {1, 0, texts[b]}, QM_COLUMN_NAME, ascending, true) < 0;
        });
        std::stable_sort(byKey.begin(), byKey.end(), [&](size_t a, size_t b) {
            const int result = keys.Compare(a, b);
            return ascending ? result < 0 : result > 0;
        });
        EXPECT_EQ(byKey, byRows);
    }
}

TEST(SortKeys, LeadingNumbersDecideBeforeTheCollation) {
    CQmRowSortKeys keys("");
    for (const char16_t* text : {u"9F00", u"10AB", u"9.txt", u"10.txt", u"abc", u"99999999999999999999x",
                                 u"99999999999999999998y"}) {
        keys.Add(text);
    }
    EXPECT_LT(keys.Compare(0, 1), 0);  // 9 < 10 although '1' < '9'
    EXPECT_LT(keys.Compare(2, 3), 0);
    EXPECT_LT(keys.Compare(1, 4), 0);  // digits collate before letters
    // Both runs saturate to the largest value, so the collation decides.
    EXPECT_LT(keys.Compare(6, 5), 0);
    keys.Clear();
    EXPECT_EQ(keys.GetCount(), 0u);
}

}  // namespace
}  // namespace qm
