// The file list's model: grouping, the texts it makes from the items, the
// exact change notices, the sort order, the flat form with folded groups and
// the row selection.
#include "desktop/list_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/formatting.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"

namespace qm {
namespace {

constexpr uint64_t kTime = 133000000000000000ull;  // 2022-06-19 as FILETIME

// Every notice, as (done, change).
class Recorder : public IQmListObserver {
public:
    std::vector<std::pair<bool, QmListChange>> events;
    void OnListChanging(const QmListChange& change) override { events.emplace_back(false, change); }
    void OnListChanged(const QmListChange& change) override { events.emplace_back(true, change); }
    // The completed notices of `kind`, in order.
    std::vector<QmListChange> Done(QmListChange::Kind kind) const {
        std::vector<QmListChange> found;
        for (const auto& [done, change] : events) {
            if (done && change.kind == kind) found.push_back(change);
        }
        return found;
    }
};

class ListModelTest : public ::testing::Test {
protected:
    ListModelTest() {
        doc_.SetAlgorithm(4);  // MD5
        doc_.SetDigestSize(16);
        model_.SetObserver(&recorder_);
    }

    CQmQuorviaItem* Add(std::u16string path, uint64_t size = 1, uint64_t time = kTime) {
        auto item = CQmQuorviaItem::CreateItem(path, size, time == 0 ? 1 : time);
        if (time == 0) item->SetLastWriteTime(0);
        CQmQuorviaItem* raw = item.get();
        doc_.AppendItem(std::move(item));
        return raw;
    }
    void Show(const std::vector<CQmQuorviaItem*>& items) { model_.AppendItems(items); }
    std::u16string Text(const CQmQuorviaItem* item, int column) const { return model_.CellText(item, column); }
    std::vector<std::u16string> Names(uint32_t group) const {
        std::vector<std::u16string> names;
        for (uint32_t row = 0; row < model_.GetRowCount(group); ++row) names.push_back(model_.RowText({group, row}, 0));
        return names;
    }
    // The flat form as "[dir]" for headers and the names of the rows.
    std::vector<std::u16string> Flat() const {
        std::vector<std::u16string> rows;
        for (size_t i = 0; i < model_.GetFlatRowCount(); ++i) {
            const QmListRow row = model_.FlatRowAt(i);
            EXPECT_EQ(model_.FlatIndexOf(row), i);
            std::u16string text = model_.RowText(row, 0);
            if (row.IsHeader()) text.insert(0, 1, u'[').push_back(u']');
            rows.push_back(std::move(text));
        }
        return rows;
    }

    CQmQuorviaDoc doc_;
    CQmListModel model_{doc_};
    Recorder recorder_;
};

// The hasher stores into the verification hash while the process-wide
// document is in verify mode (which a verification leaves on, so each store
// sets it).
void StoreDigest(CQmQuorviaItem* item, uint8_t first, uint8_t fill, bool verify) {
    uint8_t digest[16];
    std::fill(std::begin(digest), std::end(digest), fill);
    digest[0] = first;
    GetQuorviaDoc().SetVerifyMode(verify);
    item->SetHash(digest, sizeof digest, 4);
    GetQuorviaDoc().SetVerifyMode(false);
}
void SetDigest(CQmQuorviaItem* item, uint8_t first, uint8_t fill) { StoreDigest(item, first, fill, false); }
void SetVerifyDigest(CQmQuorviaItem* item, uint8_t first, uint8_t fill) { StoreDigest(item, first, fill, true); }

TEST_F(ListModelTest, GroupsByDirectoryInOrderOfFirstAppearance) {
    CQmQuorviaItem* a1 = Add(u"/data/a/one.txt");
    CQmQuorviaItem* a2 = Add(u"/data/a/two.txt");
    CQmQuorviaItem* b1 = Add(u"/data/b/three.txt");
    CQmQuorviaItem* a3 = Add(u"/data/a/four.txt");
    CQmQuorviaItem* root = Add(u"/six.txt");
    CQmQuorviaItem* root2 = Add(u"/seven.txt");
    Show({a1, a2, b1, a3, root, root2});

    ASSERT_EQ(model_.GetGroupCount(), 3u);
    EXPECT_EQ(model_.GetGroupDirectory(0), u"/data/a");
    EXPECT_EQ(model_.GetGroupDirectory(1), u"/data/b");
    EXPECT_EQ(model_.GetGroupDirectory(2), u"/");
    EXPECT_EQ(Names(0), (std::vector<std::u16string>{u"one.txt", u"two.txt", u"four.txt"}));
    EXPECT_EQ(model_.GetFileCount(), 6u);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{a1, a2, a3, b1, root, root2}));
    QmListRow row;
    ASSERT_TRUE(model_.FindRow(a3, row));
    EXPECT_EQ(row, (QmListRow{0, 2}));
    EXPECT_EQ(model_.ItemAt(row), a3);
    EXPECT_EQ(model_.ItemAt({0, QmListRow::kHeader}), nullptr);

    // One notice per run of one group's rows, each announced first: group a,
    // a[0..1], group b, b[0], a[2], group /, /[0..1].
    std::vector<std::tuple<QmListChange::Kind, uint32_t, uint32_t, uint32_t>> inserted;
    for (const auto& [done, change] : recorder_.events) {
        if (!done) continue;
        inserted.emplace_back(change.kind, change.group, change.first, change.last);
    }
    using K = QmListChange;
    const decltype(inserted) expected = {{K::GroupsInserted, 0, 0, 0}, {K::RowsInserted, 0, 0, 1},
                                         {K::GroupsInserted, 0, 1, 1}, {K::RowsInserted, 1, 0, 0},
                                         {K::RowsInserted, 0, 2, 2},   {K::GroupsInserted, 0, 2, 2},
                                         {K::RowsInserted, 2, 0, 1}};
    EXPECT_EQ(inserted, expected);
    for (size_t i = 0; i < recorder_.events.size(); i += 2) {
        EXPECT_FALSE(recorder_.events[i].first) << "each change is announced before it is made";
        EXPECT_TRUE(recorder_.events[i + 1].first);
    }
}

// Linux names are exact, so directories differing in case are two groups;
// Windows names ignore the case of A-Z, so there they are one, headed as the
// first file spells it.
TEST_F(ListModelTest, DirectoriesDifferingInCaseGroupAsTheSystemNamesThem) {
    CQmQuorviaItem* lower = Add(u"/data/a/one.txt");
    CQmQuorviaItem* upper = Add(u"/data/A/two.txt");
    Show({lower, upper});
#if defined(_WIN32)
    ASSERT_EQ(model_.GetGroupCount(), 1u);
    EXPECT_EQ(model_.GetGroupDirectory(0), u"/data/a");
    EXPECT_EQ(Names(0), (std::vector<std::u16string>{u"one.txt", u"two.txt"}));
#else
    ASSERT_EQ(model_.GetGroupCount(), 2u);
    EXPECT_EQ(model_.GetGroupDirectory(1), u"/data/A");
#endif
}

TEST_F(ListModelTest, TextsComeFromTheItemAndTheCellState) {
    CQmQuorviaItem* item = Add(u"/d/file.bin", 1536);
    CQmQuorviaItem* undated = Add(u"/d/undated.bin", 10, 0);
    Show({item, undated});

    EXPECT_EQ(Text(item, QM_COLUMN_NAME), u"file.bin");
    EXPECT_EQ(Text(item, QM_COLUMN_SIZE), StrFormatByteSize(1536));
    EXPECT_EQ(Text(item, QM_COLUMN_TIME), FormatFileTime(kTime, true));
    EXPECT_EQ(Text(undated, QM_COLUMN_TIME), u"-");
    EXPECT_EQ(model_.RowText({0, QmListRow::kHeader}, 0), u"/d");
    EXPECT_EQ(model_.RowText({0, QmListRow::kHeader}, 1), u"");

    // Nothing in the status columns until the tick writes them.
    SetDigest(item, 0xD4, 0x11);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"");
    model_.SetCellState(item, QM_COLUMN_HASH, CQmListModel::CELL_READING);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"正在计算中...");
    model_.SetCellState(item, QM_COLUMN_HASH, CQmListModel::CELL_RESULT);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"D4111111111111111111111111111111");

    // Verification: column 4 compares, column 3 keeps the stored hash.
    SetVerifyDigest(item, 0xD4, 0x11);
    model_.SetCellState(item, QM_COLUMN_VERIFY, CQmListModel::CELL_RESULT);
    EXPECT_EQ(Text(item, QM_COLUMN_VERIFY), u"文件检查正确");
    SetVerifyDigest(item, 0xAB, 0x22);
    model_.SetCellState(item, QM_COLUMN_VERIFY, CQmListModel::CELL_RESULT);
    EXPECT_EQ(Text(item, QM_COLUMN_VERIFY), u"新文件HASH值:AB222222222222222222222222222222");
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"D4111111111111111111111111111111");
}

TEST_F(ListModelTest, AnErrorShownStaysWhenTheItemsTextIsCleared) {
    CQmQuorviaItem* item = Add(u"/d/gone.bin");
    Show({item});
    item->SetError(u"打开文件失败:No such file");
    model_.SetCellState(item, QM_COLUMN_HASH, CQmListModel::CELL_RESULT);
    EXPECT_EQ(model_.GetCellState(item, QM_COLUMN_HASH), CQmListModel::CELL_ERROR);
    doc_.ClearItemErrors();  // what a verification pass does first
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"打开文件失败:No such file");
    model_.SetCellState(item, QM_COLUMN_HASH, CQmListModel::CELL_EMPTY);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), u"");
}

TEST_F(ListModelTest, ChangedCellsAreAnnouncedInExactRanges) {
    std::vector<CQmQuorviaItem*> items;
    for (int i = 0; i < 8; ++i) items.push_back(Add(u"/g/" + std::u16string(1, static_cast<char16_t>(u'a' + i))));
    items.push_back(Add(u"/h/x"));
    Show(items);
    recorder_.events.clear();
    for (int row : {0, 1, 2, 5}) model_.SetCellState(items[row], QM_COLUMN_HASH, CQmListModel::CELL_READING);
    model_.SetCellState(items[8], QM_COLUMN_HASH, CQmListModel::CELL_READING);
    model_.MarkSizeAndTimeChanged(items[1]);
    model_.FlushChanges();

    using Range = std::tuple<int, uint32_t, uint32_t, uint32_t, int>;  // left column, group, top, bottom, right
    std::vector<Range> ranges;
    for (const QmListChange& change : recorder_.Done(QmListChange::CellsChanged)) {
        ranges.emplace_back(change.firstColumn, change.group, change.first, change.last, change.lastColumn);
    }
    std::sort(ranges.begin(), ranges.end());
    const std::vector<Range> expected = {{1, 0, 1, 1, 2}, {3, 0, 0, 2, 3}, {3, 0, 5, 5, 3}, {3, 1, 0, 0, 3}};
    EXPECT_EQ(ranges, expected);

    // A new verification pass clears column 4 of the participating rows that
    // show something, and announces only those.
    for (int row : {2, 3, 4}) model_.SetCellState(items[row], QM_COLUMN_VERIFY, CQmListModel::CELL_READING);
    model_.FlushChanges();
    items[3]->SetSelected(false);
    recorder_.events.clear();
    model_.ClearVerifyColumnOfParticipants();
    const std::vector<QmListChange> cleared = recorder_.Done(QmListChange::CellsChanged);
    ASSERT_EQ(cleared.size(), 2u);
    EXPECT_EQ(std::tie(cleared[0].first, cleared[0].last), std::make_tuple(2u, 2u));
    EXPECT_EQ(std::tie(cleared[1].first, cleared[1].last), std::make_tuple(4u, 4u));
    EXPECT_EQ(model_.GetCellState(items[3], QM_COLUMN_VERIFY), CQmListModel::CELL_READING);
}

TEST_F(ListModelTest, SizeColumnSortsByExactBytesWithinGroups) {
    // 1024 and 1025 bytes read alike ("1.00 KB"); 1000 bytes reads "1000 字节"
    // and would sort after both as text.
    CQmQuorviaItem* k1 = Add(u"/s/k1", 1024);
    CQmQuorviaItem* big = Add(u"/s/big", 1000);
    CQmQuorviaItem* other = Add(u"/t/other", 1);
    CQmQuorviaItem* k2 = Add(u"/s/k2", 1025);
    CQmQuorviaItem* small = Add(u"/s/small", 999);
    Show({k1, big, other, k2, small});

    recorder_.events.clear();
    model_.Sort(QM_COLUMN_SIZE, true);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{small, big, k1, k2, other}));
    ASSERT_EQ(recorder_.events.size(), 2u);
    EXPECT_EQ(recorder_.events[0].second.kind, QmListChange::LayoutChanged);
    model_.Sort(QM_COLUMN_SIZE, false);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{k2, k1, big, small, other}));
    QmListRow row;
    ASSERT_TRUE(model_.FindRow(k2, row));
    EXPECT_EQ(row, (QmListRow{0, 0}));
}

TEST_F(ListModelTest, SortByColumnFollowsTheHeaderClickRules) {
    CQmQuorviaItem* b = Add(u"/c/b", 1);
    CQmQuorviaItem* a = Add(u"/c/a", 2);
    Show({b, a});
    EXPECT_EQ(model_.GetSortColumn(), -1);
    model_.SortByColumn(-1);  // no column yet: by name, ascending
    EXPECT_EQ(model_.GetSortColumn(), QM_COLUMN_NAME);
    EXPECT_TRUE(model_.IsSortAscending());
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{a, b}));
    model_.SortByColumn(QM_COLUMN_NAME);  // the same column again reverses
    EXPECT_FALSE(model_.IsSortAscending());
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{b, a}));
    model_.SortByColumn(-1);  // again by the current column, in its direction
    EXPECT_FALSE(model_.IsSortAscending());
    model_.SortByColumn(QM_COLUMN_SIZE);  // a new column starts ascending
    EXPECT_EQ(model_.GetSortColumn(), QM_COLUMN_SIZE);
    EXPECT_TRUE(model_.IsSortAscending());
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{b, a}));
    model_.Reset();
    EXPECT_EQ(model_.GetSortColumn(), QM_COLUMN_SIZE) << "a new task sorts as the user last chose";
}

TEST_F(ListModelTest, TextColumnsSortByLeadingNumberThenCollation) {
    CQmQuorviaItem* ten = Add(u"/n/10.txt");
    CQmQuorviaItem* nine = Add(u"/n/9.txt");
    CQmQuorviaItem* lowerB = Add(u"/n/b.txt");
    CQmQuorviaItem* upperA = Add(u"/n/A.txt");
    Show({ten, nine, lowerB, upperA});
    model_.Sort(QM_COLUMN_NAME, true);
    EXPECT_EQ(Names(0), (std::vector<std::u16string>{u"9.txt", u"10.txt", u"A.txt", u"b.txt"}));

    // Hash texts 9F… and 10…: the leading digit runs 9 and 10 decide.
    SetDigest(ten, 0x10, 0xEE);
    SetDigest(nine, 0x9F, 0xEE);
    SetDigest(lowerB, 0xAA, 0xEE);
    SetDigest(upperA, 0x01, 0xEE);
    for (CQmQuorviaItem* item : {ten, nine, lowerB, upperA}) {
        model_.SetCellState(item, QM_COLUMN_HASH, CQmListModel::CELL_RESULT);
    }
    model_.FlushChanges();
    model_.Sort(QM_COLUMN_HASH, true);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{upperA, nine, ten, lowerB}));
    model_.Sort(QM_COLUMN_HASH, false);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{lowerB, ten, nine, upperA}));
}

// The name keys are made as rows go in and kept for the rows' lifetime, so
// they must stay with their rows through other sorts, later additions, a
// removal and a reset that hands the ids out again.
TEST_F(ListModelTest, NameSortStaysRightThroughAdditionsRemovalAndReset) {
    CQmQuorviaItem* c = Add(u"/m/c", 1);
    CQmQuorviaItem* a = Add(u"/m/a", 3);
    Show({c, a});
    model_.Sort(QM_COLUMN_SIZE, false);
    CQmQuorviaItem* d = Add(u"/m/d", 2);
    CQmQuorviaItem* other = Add(u"/o/0", 2);
    CQmQuorviaItem* b = Add(u"/m/b", 2);
    Show({d, other, b});
    ASSERT_EQ(model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{a}), 1u);
    model_.Sort(QM_COLUMN_NAME, true);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{b, c, d, other}));
    model_.Sort(QM_COLUMN_NAME, false);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{d, c, b, other}));

    model_.Reset();
    CQmQuorviaItem* x = Add(u"/n/x");
    CQmQuorviaItem* y = Add(u"/n/y");
    Show({x, y});
    ASSERT_EQ(x->GetViewId(), c->GetViewId()) << "the ids are handed out again";
    model_.Sort(QM_COLUMN_NAME, true);
    EXPECT_EQ(Names(0), (std::vector<std::u16string>{u"x", u"y"}));
}

TEST_F(ListModelTest, RemovedRowsAndStaleIdsFindNoRow) {
    CQmQuorviaItem* a = Add(u"/r/a");
    CQmQuorviaItem* b = Add(u"/r/b");
    CQmQuorviaItem* c = Add(u"/r/c");
    Show({a, b, c});
    model_.SetCellState(c, QM_COLUMN_HASH, CQmListModel::CELL_READING);
    EXPECT_EQ(model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{b}), 1u);
    EXPECT_EQ(model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{b}), 0u);
    EXPECT_EQ(Names(0), (std::vector<std::u16string>{u"a", u"c"}));
    QmListRow row;
    ASSERT_TRUE(model_.FindRow(c, row));
    EXPECT_EQ(row.row, 1u);
    EXPECT_EQ(Text(c, QM_COLUMN_HASH), u"正在计算中...");
    EXPECT_EQ(model_.GetFileCount(), 2u);

    // After a reset new rows reuse the ids; an item shown before keeps its
    // old id but must not be taken for the new row that has it.
    model_.Reset();
    CQmQuorviaItem* fresh = Add(u"/q/fresh");
    Show({fresh});
    ASSERT_EQ(fresh->GetViewId(), a->GetViewId());
    EXPECT_FALSE(model_.FindRow(a, row));
    EXPECT_FALSE(model_.SetCellState(a, QM_COLUMN_HASH, CQmListModel::CELL_RESULT));
    ASSERT_TRUE(model_.FindRow(fresh, row));
    EXPECT_EQ(row, (QmListRow{0, 0}));
}

TEST_F(ListModelTest, RemovingManyRowsTakesEachRunOfAGroupAtOnce) {
    CQmQuorviaItem* a = Add(u"/g/a");
    CQmQuorviaItem* b = Add(u"/g/b");
    CQmQuorviaItem* c = Add(u"/g/c");
    CQmQuorviaItem* d = Add(u"/g/d");
    CQmQuorviaItem* e = Add(u"/g/e");
    CQmQuorviaItem* f = Add(u"/h/f");
    CQmQuorviaItem* g = Add(u"/h/g");
    Show({a, b, c, d, e, f, g});
    model_.SetCellState(d, QM_COLUMN_HASH, CQmListModel::CELL_READING);
    model_.SetRowSelected(b, true);
    model_.SetRowSelected(d, true);
    recorder_.events.clear();
    auto stranger = CQmQuorviaItem::CreateItem(u"/g/x", 1, kTime);
    const std::vector<const CQmQuorviaItem*> doomed = {e, b, f, c, b, stranger.get()};
    EXPECT_EQ(model_.RemoveItemRows(doomed), 4u);
    const std::vector<QmListChange> removed = recorder_.Done(QmListChange::RowsRemoved);
    ASSERT_EQ(removed.size(), 3u);  // from the bottom up: f, e, then b and c at once
    EXPECT_EQ(std::tie(removed[0].group, removed[0].first, removed[0].last), std::make_tuple(1u, 0u, 0u));
    EXPECT_EQ(std::tie(removed[1].group, removed[1].first, removed[1].last), std::make_tuple(0u, 4u, 4u));
    EXPECT_EQ(std::tie(removed[2].group, removed[2].first, removed[2].last), std::make_tuple(0u, 1u, 2u));
    EXPECT_EQ(Names(0), (std::vector<std::u16string>{u"a", u"d"}));
    EXPECT_EQ(Names(1), (std::vector<std::u16string>{u"g"}));
    EXPECT_EQ(model_.GetFileCount(), 3u);
    QmListRow row;
    ASSERT_TRUE(model_.FindRow(d, row));
    EXPECT_EQ(row, (QmListRow{0, 1}));
    ASSERT_TRUE(model_.FindRow(g, row));
    EXPECT_EQ(row, (QmListRow{1, 0}));
    EXPECT_FALSE(model_.FindRow(c, row));
    EXPECT_EQ(Text(d, QM_COLUMN_HASH), u"正在计算中...");
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{a, d, g}));
    EXPECT_EQ(model_.GetSelectedItems(), (std::vector<CQmQuorviaItem*>{d})) << "a removed row takes its selection";
    EXPECT_EQ(model_.GetSelectedRowCount(), 1u);
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/g]", u"a", u"d", u"[/h]", u"g"}));
}

// The flat form of the Windows list: a header per group, then its rows
// unless folded; the offsets follow additions, folds, sorts and removals.
TEST_F(ListModelTest, FlatRowsFollowFoldsAndChanges) {
    CQmQuorviaItem* a = Add(u"/x/a");
    CQmQuorviaItem* b = Add(u"/x/b");
    CQmQuorviaItem* c = Add(u"/y/c");
    Show({b, a});
    EXPECT_EQ(model_.GetFlatRowCount(), 3u);
    Show({c});
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"b", u"a", u"[/y]", u"c"}));
    CQmQuorviaItem* c2 = Add(u"/y/c2");
    Show({c2});
    EXPECT_EQ(model_.GetFlatRowCount(), 6u) << "rows added to the last group count too";
    model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{c2});
    EXPECT_EQ(model_.GetFlatRowCount(), 5u);

    recorder_.events.clear();
    model_.SetFolded(0, true);
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"[/y]", u"c"}));
    EXPECT_EQ(model_.FlatIndexOf({0, 1}), CQmListModel::kNoFlatIndex) << "a folded group's rows have no place";
    model_.SetFolded(0, true);  // no change, no notice
    ASSERT_EQ(recorder_.Done(QmListChange::FoldChanged).size(), 1u);
    EXPECT_EQ(recorder_.Done(QmListChange::FoldChanged)[0].group, 0u);

    // Rows added to a folded group stay hidden; later groups move down.
    CQmQuorviaItem* d = Add(u"/x/d");
    CQmQuorviaItem* e = Add(u"/z/e");
    Show({d, e});
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"[/y]", u"c", u"[/z]", u"e"}));
    model_.SetAllFolded(false);
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"b", u"a", u"d", u"[/y]", u"c", u"[/z]", u"e"}));
    model_.Sort(QM_COLUMN_NAME, true);
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"a", u"b", u"d", u"[/y]", u"c", u"[/z]", u"e"}));
    model_.SetAllFolded(true);
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"[/y]", u"[/z]"}));
    EXPECT_EQ(recorder_.Done(QmListChange::FoldChanged).back().group, QmListChange::kAllGroups);
    model_.SetFolded(2, false);
    model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{a, c});
    EXPECT_EQ(Flat(), (std::vector<std::u16string>{u"[/x]", u"[/y]", u"[/z]", u"e"}))
        << "a group that lost its rows stays";
    model_.Reset();
    EXPECT_EQ(model_.GetFlatRowCount(), 0u);
}

// The selection is kept per row, so it means the same in the tree and in
// the flat list, covers rows of folded groups and moves with its rows.
TEST_F(ListModelTest, SelectionStaysWithItsRows) {
    CQmQuorviaItem* a = Add(u"/s/a", 3);
    CQmQuorviaItem* b = Add(u"/s/b", 1);
    CQmQuorviaItem* c = Add(u"/s/c", 2);
    CQmQuorviaItem* d = Add(u"/t/d", 1);
    Show({a, b, c, d});

    recorder_.events.clear();
    model_.SetRowSelected(a, true);
    model_.SetRowsSelected(0, 1, 2, true);
    EXPECT_TRUE(recorder_.events.empty()) << "what a view changed is not told back to it";
    model_.SetRowsSelected(0, 1, 1, false);
    EXPECT_EQ(model_.GetSelectedItems(), (std::vector<CQmQuorviaItem*>{a, c}));
    model_.Sort(QM_COLUMN_SIZE, true);  // b, c, a
    EXPECT_EQ(model_.GetSelectedItems(), (std::vector<CQmQuorviaItem*>{c, a}));
    const std::vector<CQmListModel::RowRun> runs = model_.GetSelectedRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(std::tie(runs[0].group, runs[0].first, runs[0].last), std::make_tuple(0u, 1u, 2u));

    model_.SetAllFolded(true);
    model_.SelectAllRows();
    EXPECT_EQ(model_.GetSelectedRowCount(), 4u) << "rows of folded groups are selected too";
    EXPECT_EQ(model_.GetSelectedRuns().size(), 2u);
    model_.SelectOnly(d);
    EXPECT_EQ(model_.GetSelectedItems(), (std::vector<CQmQuorviaItem*>{d}));
    EXPECT_TRUE(model_.IsRowSelected(d));
    EXPECT_FALSE(model_.IsRowSelected(a));
    model_.ClearRowSelection();
    EXPECT_EQ(model_.GetSelectedRowCount(), 0u);
    EXPECT_EQ(recorder_.Done(QmListChange::SelectionChanged).size(), 3u) << "what the program changed is told";
}

}  // namespace
}  // namespace qm
