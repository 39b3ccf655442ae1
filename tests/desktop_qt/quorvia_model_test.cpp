// The file list's model: grouping, the texts it makes from the items, the
// exact change announcements and the sort order. A model tester checks the
// model's consistency through every operation and aborts on a fault.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/formatting.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "desktop_qt/quorvia_model.h"

namespace qm {
namespace {

constexpr uint64_t kTime = 133000000000000000ull;  // 2022-06-19 as FILETIME

class ModelTest : public ::testing::Test {
protected:
    ModelTest() {
        doc_.SetAlgorithm(4);  // MD5
        doc_.SetDigestSize(16);
    }

    CQmQuorviaItem* Add(std::u16string path, uint64_t size = 1, uint64_t time = kTime) {
        auto item = CQmQuorviaItem::CreateItem(path, size, time == 0 ? 1 : time);
        if (time == 0) item->SetLastWriteTime(0);
        CQmQuorviaItem* raw = item.get();
        doc_.AppendItem(std::move(item));
        return raw;
    }
    void Show(const std::vector<CQmQuorviaItem*>& items) { model_.AppendItems(items); }
    QString Text(const CQmQuorviaItem* item, int column) const {
        return model_.data(model_.IndexOfItem(item, column)).toString();
    }
    std::vector<QString> Names(int group) const {
        std::vector<QString> names;
        const QModelIndex parent = model_.GroupIndex(group);
        for (int row = 0; row < model_.rowCount(parent); ++row) names.push_back(model_.index(row, 0, parent).data().toString());
        return names;
    }

    CQmQuorviaDoc doc_;
    CQmQuorviaModel model_{doc_};
    QAbstractItemModelTester tester_{&model_, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

void SetDigest(CQmQuorviaItem* item, uint8_t first, uint8_t fill) {
    uint8_t digest[16];
    std::fill(std::begin(digest), std::end(digest), fill);
    digest[0] = first;
    item->SetHash(digest, sizeof digest, 4);
}

// The hasher of a verification pass stores into the verification hash while
// the process-wide document is in verify mode.
void SetVerifyDigest(CQmQuorviaItem* item, uint8_t first, uint8_t fill) {
    GetQuorviaDoc().SetVerifyMode(true);
    SetDigest(item, first, fill);
    GetQuorviaDoc().SetVerifyMode(false);
}

TEST_F(ModelTest, GroupsByExactDirectoryInOrderOfFirstAppearance) {
    QSignalSpy inserted(&model_, &QAbstractItemModel::rowsInserted);
    CQmQuorviaItem* a1 = Add(u"/data/a/one.txt");
    CQmQuorviaItem* a2 = Add(u"/data/a/two.txt");
    CQmQuorviaItem* b1 = Add(u"/data/b/three.txt");
    CQmQuorviaItem* a3 = Add(u"/data/a/four.txt");
    CQmQuorviaItem* upper = Add(u"/data/A/five.txt");
    CQmQuorviaItem* root = Add(u"/six.txt");
    CQmQuorviaItem* root2 = Add(u"/seven.txt");
    Show({a1, a2, b1, a3, upper, root, root2});

    ASSERT_EQ(model_.GetGroupCount(), 4);
    EXPECT_EQ(model_.GroupIndex(0).data().toString(), "/data/a");
    EXPECT_EQ(model_.GroupIndex(1).data().toString(), "/data/b");
    EXPECT_EQ(model_.GroupIndex(2).data().toString(), "/data/A");  // case-sensitive file system
    EXPECT_EQ(model_.GroupIndex(3).data().toString(), "/");
    EXPECT_EQ(Names(0), (std::vector<QString>{"one.txt", "two.txt", "four.txt"}));
    EXPECT_EQ(model_.GetFileCount(), 7);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{a1, a2, a3, b1, upper, root, root2}));
    EXPECT_EQ(model_.ItemAt(model_.IndexOfItem(a3)), a3);
    EXPECT_EQ(model_.ItemAt(model_.GroupIndex(0)), nullptr);

    // One insertion per run of one group's rows: group a, a[0..1], group b,
    // b[0], a[2], group A, A[0], group /, /[0..1].
    ASSERT_EQ(inserted.count(), 9);
    EXPECT_EQ(inserted.at(8).at(2).toInt(), 1);
    const QList<QVariant> runA = inserted.at(1);
    EXPECT_EQ(runA.at(0).value<QModelIndex>(), model_.GroupIndex(0));
    EXPECT_EQ(runA.at(1).toInt(), 0);
    EXPECT_EQ(runA.at(2).toInt(), 1);
    const QList<QVariant> laterA = inserted.at(4);
    EXPECT_EQ(laterA.at(0).value<QModelIndex>(), model_.GroupIndex(0));
    EXPECT_EQ(laterA.at(1).toInt(), 2);
    EXPECT_EQ(laterA.at(2).toInt(), 2);
}

TEST_F(ModelTest, TextsComeFromTheItemAndTheCellState) {
    CQmQuorviaItem* item = Add(u"/d/file.bin", 1536);
    CQmQuorviaItem* undated = Add(u"/d/undated.bin", 10, 0);
    Show({item, undated});

    EXPECT_EQ(Text(item, QM_COLUMN_NAME), "file.bin");
    EXPECT_EQ(Text(item, QM_COLUMN_SIZE), QString::fromStdU16String(StrFormatByteSize(1536)));
    EXPECT_EQ(Text(item, QM_COLUMN_TIME), QString::fromStdU16String(FormatFileTime(kTime, true)));
    EXPECT_EQ(Text(undated, QM_COLUMN_TIME), "-");
    EXPECT_EQ(model_.data(model_.IndexOfItem(item, QM_COLUMN_SIZE), Qt::TextAlignmentRole).toInt(),
              static_cast<int>(Qt::AlignRight | Qt::AlignVCenter));

    // Nothing in the status columns until the tick writes them.
    SetDigest(item, 0xD4, 0x11);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), "");
    model_.SetCellState(item, QM_COLUMN_HASH, CQmQuorviaModel::CELL_READING);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), QString::fromUtf16(u"正在计算中..."));
    model_.SetCellState(item, QM_COLUMN_HASH, CQmQuorviaModel::CELL_RESULT);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), "D4111111111111111111111111111111");

    // Verification: column 4 compares, column 3 keeps the stored hash.
    SetVerifyDigest(item, 0xD4, 0x11);
    model_.SetCellState(item, QM_COLUMN_VERIFY, CQmQuorviaModel::CELL_RESULT);
    EXPECT_EQ(Text(item, QM_COLUMN_VERIFY), QString::fromUtf16(u"文件检查正确"));
    SetVerifyDigest(item, 0xAB, 0x22);
    model_.SetCellState(item, QM_COLUMN_VERIFY, CQmQuorviaModel::CELL_RESULT);
    EXPECT_EQ(Text(item, QM_COLUMN_VERIFY), QString::fromUtf16(u"新文件HASH值:AB222222222222222222222222222222"));
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), "D4111111111111111111111111111111");
}

TEST_F(ModelTest, AnErrorShownStaysWhenTheItemsTextIsCleared) {
    CQmQuorviaItem* item = Add(u"/d/gone.bin");
    Show({item});
    item->SetError(u"打开文件失败:No such file");
    model_.SetCellState(item, QM_COLUMN_HASH, CQmQuorviaModel::CELL_RESULT);
    EXPECT_EQ(model_.GetCellState(item, QM_COLUMN_HASH), CQmQuorviaModel::CELL_ERROR);
    doc_.ClearItemErrors();  // what a verification pass does first
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), QString::fromUtf16(u"打开文件失败:No such file"));
    model_.SetCellState(item, QM_COLUMN_HASH, CQmQuorviaModel::CELL_EMPTY);
    EXPECT_EQ(Text(item, QM_COLUMN_HASH), "");
}

TEST_F(ModelTest, ChangedCellsAreAnnouncedInExactRanges) {
    std::vector<CQmQuorviaItem*> items;
    for (int i = 0; i < 8; ++i) items.push_back(Add(u"/g/" + std::u16string(1, u'a' + i)));
    items.push_back(Add(u"/h/x"));
    Show(items);
    QSignalSpy changed(&model_, &QAbstractItemModel::dataChanged);
    for (int row : {0, 1, 2, 5}) model_.SetCellState(items[row], QM_COLUMN_HASH, CQmQuorviaModel::CELL_READING);
    model_.SetCellState(items[8], QM_COLUMN_HASH, CQmQuorviaModel::CELL_READING);
    model_.MarkSizeAndTimeChanged(items[1]);
    model_.FlushChanges();

    struct Range {
        int group, top, bottom, left, right;
        bool operator==(const Range&) const = default;
    };
    std::vector<Range> ranges;
    for (const QList<QVariant>& signal : changed) {
        const auto topLeft = signal.at(0).value<QModelIndex>();
        const auto bottomRight = signal.at(1).value<QModelIndex>();
        ASSERT_EQ(topLeft.parent(), bottomRight.parent());
        ranges.push_back({topLeft.parent().row(), topLeft.row(), bottomRight.row(), topLeft.column(),
                          bottomRight.column()});
    }
    const std::vector<Range> expected = {{0, 0, 2, 3, 3}, {0, 5, 5, 3, 3}, {1, 0, 0, 3, 3}, {0, 1, 1, 1, 2}};
    std::vector<Range> sortedRanges = ranges;
    auto order = [](const Range& x, const Range& y) {
        return std::tie(x.left, x.group, x.top) < std::tie(y.left, y.group, y.top);
    };
    std::sort(sortedRanges.begin(), sortedRanges.end(), order);
    std::vector<Range> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end(), order);
    EXPECT_EQ(sortedRanges, sortedExpected);

    // A new verification pass clears column 4 of the selected rows that show
    // something, and announces only those.
    for (int row : {2, 3, 4}) model_.SetCellState(items[row], QM_COLUMN_VERIFY, CQmQuorviaModel::CELL_READING);
    model_.FlushChanges();
    items[3]->SetSelected(false);
    changed.clear();
    model_.ClearVerifyColumnOfSelected();
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>().row(), 2);
    EXPECT_EQ(changed.at(0).at(1).value<QModelIndex>().row(), 2);
    EXPECT_EQ(changed.at(1).at(0).value<QModelIndex>().row(), 4);
    EXPECT_EQ(model_.GetCellState(items[3], QM_COLUMN_VERIFY), CQmQuorviaModel::CELL_READING);
}

TEST_F(ModelTest, SizeColumnSortsByExactBytesWithinGroups) {
    // 1024 and 1025 bytes read alike ("1.00 KB"); 1000 bytes reads "1000 字节"
    // and would sort after both as text.
    CQmQuorviaItem* k1 = Add(u"/s/k1", 1024);
    CQmQuorviaItem* big = Add(u"/s/big", 1000);
    CQmQuorviaItem* other = Add(u"/t/other", 1);
    CQmQuorviaItem* k2 = Add(u"/s/k2", 1025);
    CQmQuorviaItem* small = Add(u"/s/small", 999);
    Show({k1, big, other, k2, small});
    const QPersistentModelIndex kept(model_.IndexOfItem(k2, 3));

    model_.Sort(QM_COLUMN_SIZE, true);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{small, big, k1, k2, other}));
    EXPECT_EQ(model_.ItemAt(kept), k2);
    EXPECT_EQ(kept.column(), 3);
    model_.Sort(QM_COLUMN_SIZE, false);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{k2, k1, big, small, other}));
    EXPECT_EQ(model_.ItemAt(kept), k2);
}

TEST_F(ModelTest, TextColumnsSortByLeadingNumberThenCollation) {
    CQmQuorviaItem* ten = Add(u"/n/10.txt");
    CQmQuorviaItem* nine = Add(u"/n/9.txt");
    CQmQuorviaItem* lowerB = Add(u"/n/b.txt");
    CQmQuorviaItem* upperA = Add(u"/n/A.txt");
    Show({ten, nine, lowerB, upperA});
    model_.Sort(QM_COLUMN_NAME, true);
    EXPECT_EQ(Names(0), (std::vector<QString>{"9.txt", "10.txt", "A.txt", "b.txt"}));

    // Hash texts 9F… and 10…: the leading digit runs 9 and 10 decide.
    SetDigest(ten, 0x10, 0xEE);
    SetDigest(nine, 0x9F, 0xEE);
    SetDigest(lowerB, 0xAA, 0xEE);
    SetDigest(upperA, 0x01, 0xEE);
    for (CQmQuorviaItem* item : {ten, nine, lowerB, upperA}) {
        model_.SetCellState(item, QM_COLUMN_HASH, CQmQuorviaModel::CELL_RESULT);
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
TEST_F(ModelTest, NameSortStaysRightThroughAdditionsRemovalAndReset) {
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
    EXPECT_EQ(Names(0), (std::vector<QString>{"x", "y"}));
}

TEST_F(ModelTest, RemovedRowsAndStaleIdsFindNoRow) {
    CQmQuorviaItem* a = Add(u"/r/a");
    CQmQuorviaItem* b = Add(u"/r/b");
    CQmQuorviaItem* c = Add(u"/r/c");
    Show({a, b, c});
    model_.SetCellState(c, QM_COLUMN_HASH, CQmQuorviaModel::CELL_READING);
    EXPECT_EQ(model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{b}), 1u);
    EXPECT_EQ(model_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{b}), 0u);
    EXPECT_EQ(Names(0), (std::vector<QString>{"a", "c"}));
    EXPECT_EQ(model_.IndexOfItem(c).row(), 1);
    EXPECT_EQ(Text(c, QM_COLUMN_HASH), QString::fromUtf16(u"正在计算中..."));
    EXPECT_EQ(model_.GetFileCount(), 2);

    // After a reset new rows reuse the ids; an item shown before keeps its
    // old id but must not be taken for the new row that has it.
    model_.Reset();
    CQmQuorviaItem* fresh = Add(u"/q/fresh");
    Show({fresh});
    ASSERT_EQ(fresh->GetViewId(), a->GetViewId());
    EXPECT_FALSE(model_.IndexOfItem(a).isValid());
    EXPECT_FALSE(model_.SetCellState(a, QM_COLUMN_HASH, CQmQuorviaModel::CELL_RESULT));
    EXPECT_EQ(model_.IndexOfItem(fresh).row(), 0);
}

TEST_F(ModelTest, RemovingManyRowsTakesEachRunOfAGroupAtOnce) {
    CQmQuorviaItem* a = Add(u"/g/a");
    CQmQuorviaItem* b = Add(u"/g/b");
    CQmQuorviaItem* c = Add(u"/g/c");
    CQmQuorviaItem* d = Add(u"/g/d");
    CQmQuorviaItem* e = Add(u"/g/e");
    CQmQuorviaItem* f = Add(u"/h/f");
    CQmQuorviaItem* g = Add(u"/h/g");
    Show({a, b, c, d, e, f, g});
    model_.SetCellState(d, QM_COLUMN_HASH, CQmQuorviaModel::CELL_READING);
    QSignalSpy removed(&model_, &QAbstractItemModel::rowsRemoved);
    auto stranger = CQmQuorviaItem::CreateItem(u"/g/x", 1, kTime);
    const std::vector<const CQmQuorviaItem*> doomed = {e, b, f, c, b, stranger.get()};
    EXPECT_EQ(model_.RemoveItemRows(doomed), 4u);
    ASSERT_EQ(removed.count(), 3);  // from the bottom up: f, e, then b and c at once
    EXPECT_EQ(removed.at(0).at(1).toInt(), 0);
    EXPECT_EQ(removed.at(1).at(1).toInt(), 4);
    EXPECT_EQ(removed.at(2).at(1).toInt(), 1);
    EXPECT_EQ(removed.at(2).at(2).toInt(), 2);
    EXPECT_EQ(Names(0), (std::vector<QString>{"a", "d"}));
    EXPECT_EQ(Names(1), (std::vector<QString>{"g"}));
    EXPECT_EQ(model_.GetFileCount(), 3);
    EXPECT_EQ(model_.IndexOfItem(d).row(), 1);
    EXPECT_EQ(model_.IndexOfItem(g).row(), 0);
    EXPECT_FALSE(model_.IndexOfItem(c).isValid());
    EXPECT_EQ(Text(d, QM_COLUMN_HASH), QString::fromUtf16(u"正在计算中..."));
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{a, d, g}));
}

}  // namespace
}  // namespace qm
