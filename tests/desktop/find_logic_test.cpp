// The find search over rows of texts and the find / find-next decisions.
#include "desktop/find_logic.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qm {
namespace {

// Rows of five shown texts, counting which cells were read.
class TableRows : public IQmFindRows {
public:
    using Row = std::array<std::u16string, 5>;
    explicit TableRows(std::vector<Row> rows) : rows_(std::move(rows)) {}
    size_t GetColumnCount() const override { return 5; }
    std::u16string GetCellText(size_t row, size_t column) const override {
        ++reads;
        return rows_.at(row).at(column);
    }
    size_t size() const { return rows_.size(); }
    mutable size_t reads = 0;

private:
    std::vector<Row> rows_;
};

QmFindSettings Find(std::u16string text, bool down = true, bool wholeWord = false, bool matchCase = false) {
    return {std::move(text), wholeWord, matchCase, down};
}

// Name, directory, size, hash text, status, as the view shows them.
TableRows Sample() {
    return TableRows({
        {u"readme.txt", u"/data", u"1,024", u"0CC175B9C0F1B6A831C399E269772661", u"已计算"},
        {u"abc.txt", u"/data", u"12", u"900150983CD24FB0D6963F7D28E17F72", u"已计算"},
        {u"image.md5", u"/data/iso", u"2,048", u"", u"正在计算"},
        {u"abc", u"/data/iso", u"0", u"D41D8CD98F00B204E9800998ECF8427E", u"校验失败"},
        {u"readme.txt", u"/data/iso", u"1,024", u"0CC175B9C0F1B6A831C399E269772661", u"已计算"},
    });
}

TEST(FindRowTest, WithoutSelectionDownStartsAtRowZeroAndUpEndsAtOnce) {
    const TableRows rows = Sample();
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"readme")), 0u);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"readme", false)), std::nullopt);
    EXPECT_EQ(rows.reads, 1u);
}

TEST(FindRowTest, StartsNextToTheFirstSelectedRowAndNeverWraps) {
    const TableRows rows = Sample();
    // The selected row itself is passed over.
    EXPECT_EQ(FindRow(rows, rows.size(), 0, Find(u"readme")), 4u);
    EXPECT_EQ(FindRow(rows, rows.size(), 4, Find(u"readme", false)), 0u);
    EXPECT_EQ(FindRow(rows, rows.size(), 4, Find(u"readme")), std::nullopt);
    EXPECT_EQ(FindRow(rows, rows.size(), 0, Find(u"readme", false)), std::nullopt);
    EXPECT_EQ(FindRow(rows, rows.size(), 2, Find(u"abc", false)), 1u);
    EXPECT_EQ(FindRow(rows, rows.size(), 2, Find(u"abc")), 3u);
    // Nothing in range past the last row.
    EXPECT_EQ(FindRow(rows, rows.size(), 7, Find(u"readme", false)), std::nullopt);
    EXPECT_EQ(FindRow(rows, 0, std::nullopt, Find(u"readme")), std::nullopt);
}

TEST(FindRowTest, OnlyAsciiLettersAreFoldedAndOnlyWithoutMatchCase) {
    const TableRows rows = Sample();
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"MD5")), 2u);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"MD5", true, false, true)), std::nullopt);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"md5", true, false, true)), 2u);
    // The hash text is upper case: a lower-case needle finds it unless case matters.
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"d41d8cd9")), 3u);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"d41d8cd9", true, false, true)), std::nullopt);

    QmFindSettings settings = Find(u"ÄBC");
    EXPECT_TRUE(CellMatches(u"xÄbcx", settings));
    EXPECT_FALSE(CellMatches(u"xäbcx", settings));
    EXPECT_TRUE(CellMatches(u"ABCDEF", Find(u"abc")));
    EXPECT_TRUE(CellMatches(u"abcdef", Find(u"ABC")));
    EXPECT_FALSE(CellMatches(u"abcdef", Find(u"ABC", true, false, true)));
    EXPECT_TRUE(CellMatches(u"[Z]", Find(u"[z]")));
    // '@' and '`' sit next to the letters and are not folded.
    EXPECT_FALSE(CellMatches(u"`", Find(u"@")));
}

TEST(FindRowTest, WholeWordComparesTheWholeCell) {
    const TableRows rows = Sample();
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"abc", true, true)), 3u);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"ABC", true, true)), 3u);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"ABC", true, true, true)), std::nullopt);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"/data/iso", true, true)), 2u);
    EXPECT_FALSE(CellMatches(u"abc.txt", Find(u"abc", true, true)));
    EXPECT_TRUE(CellMatches(u"", Find(u"", true, true)));
    EXPECT_FALSE(CellMatches(u"x", Find(u"", true, true)));
}

TEST(FindRowTest, EveryColumnCounts) {
    const TableRows rows = Sample();
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"iso")), 2u);           // directory
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"2,048")), 2u);         // size
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"3CD24FB")), 1u);       // hash text
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"校验失败")), 3u);      // status
    EXPECT_EQ(FindRow(rows, rows.size(), 3, Find(u"正在", false)), 2u);
    EXPECT_EQ(FindRow(rows, rows.size(), std::nullopt, Find(u"nothing here")), std::nullopt);
}

TEST(FindRowTest, ALongCellIsComparedWhole) {
    std::u16string path(3000, u'a');
    path += u"/needle";
    const TableRows rows({{u"x", path, u"", u"", u""}});
    EXPECT_EQ(FindRow(rows, 1, std::nullopt, Find(u"NEEDLE")), 0u);
    EXPECT_EQ(FindRow(rows, 1, std::nullopt, Find(path, true, true)), 0u);
}

TEST(FindStateTest, FindNextBeforeAnySearchOpensTheDialog) {
    CQmFindState state;
    EXPECT_FALSE(state.IsDialogOpen());
    EXPECT_EQ(state.OnFindNextCommand(), QmFindAction::OpenDialog);
    EXPECT_TRUE(state.IsDialogOpen());
    // Open and not searched yet: F3 and Ctrl+F both bring it forward.
    EXPECT_EQ(state.OnFindNextCommand(), QmFindAction::RaiseDialog);
    EXPECT_EQ(state.OnFindCommand(), QmFindAction::RaiseDialog);
    state.OnDialogClosed();
    EXPECT_EQ(state.OnFindCommand(), QmFindAction::OpenDialog);
    EXPECT_EQ(state.GetSettings(), QmFindSettings{});
    EXPECT_TRUE(state.GetSettings().down);
}

TEST(FindStateTest, AfterASearchFindNextRepeatsItAlsoWithTheDialogClosed) {
    CQmFindState state;
    ASSERT_EQ(state.OnFindCommand(), QmFindAction::OpenDialog);
    const QmFindSettings settings = Find(u"abc", false, true, true);
    state.OnDialogFindNext(settings);
    EXPECT_TRUE(state.HasSearched());
    EXPECT_EQ(state.GetSettings(), settings);
    EXPECT_EQ(state.OnFindNextCommand(), QmFindAction::Search);
    state.OnDialogClosed();
    EXPECT_EQ(state.OnFindNextCommand(), QmFindAction::Search);
    EXPECT_EQ(state.GetSettings(), settings);
    EXPECT_FALSE(state.IsDialogOpen());
    EXPECT_EQ(state.OnFindCommand(), QmFindAction::OpenDialog);
}

TEST(FindStateTest, AnEmptySearchTextIsNotRepeated) {
    CQmFindState state;
    state.OnFindCommand();
    state.OnDialogFindNext(Find(u""));
    EXPECT_TRUE(state.HasSearched());
    EXPECT_EQ(state.OnFindNextCommand(), QmFindAction::RaiseDialog);
    state.OnDialogClosed();
    EXPECT_EQ(state.OnFindNextCommand(), QmFindAction::OpenDialog);
}

TEST(FindStateTest, TheTextIsCutToItsLimit) {
    CQmFindState state;
    state.OnDialogFindNext(Find(std::u16string(300, u'x')));
    EXPECT_EQ(state.GetSettings().text, std::u16string(kFindTextMaxLength, u'x'));
    state.OnDialogFindNext(Find(std::u16string(kFindTextMaxLength, u'y')));
    EXPECT_EQ(state.GetSettings().text.size(), kFindTextMaxLength);
}

}  // namespace
}  // namespace qm
