// The list model as Qt sees it: every notice of the list model becomes the
// matching Qt signal with the same exact range, persistent indexes follow
// their items through a sort, and the roles the tree view reads. A model
// tester checks the model's consistency through every operation and aborts
// on a fault. What the list model decides is tested without Qt
// (tests/desktop/list_model_test.cpp).
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <string>
#include <vector>

#include "desktop_qt/quorvia_model.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"

namespace qm {
namespace {

constexpr uint64_t kTime = 133000000000000000ull;

class QtModelTest : public ::testing::Test {
protected:
    QtModelTest() {
        doc_.SetAlgorithm(4);
        doc_.SetDigestSize(16);
    }
    CQmQuorviaItem* Add(std::u16string path, uint64_t size = 1) {
        auto item = CQmQuorviaItem::CreateItem(path, size, kTime);
        CQmQuorviaItem* raw = item.get();
        doc_.AppendItem(std::move(item));
        return raw;
    }

    CQmQuorviaDoc doc_;
    CQmListModel list_{doc_};
    CQmQuorviaModel model_{list_};
    QAbstractItemModelTester tester_{&model_, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(QtModelTest, GroupsAreTopLevelRowsAndFilesSitUnderThem) {
    QSignalSpy inserted(&model_, &QAbstractItemModel::rowsInserted);
    CQmQuorviaItem* a1 = Add(u"/data/a/one.txt", 1536);
    CQmQuorviaItem* b1 = Add(u"/data/b/two.txt");
    CQmQuorviaItem* a2 = Add(u"/data/a/three.txt");
    list_.AppendItems(std::vector<CQmQuorviaItem*>{a1, b1, a2});

    ASSERT_EQ(model_.rowCount(), 2);
    EXPECT_EQ(model_.GroupIndex(0).data().toString(), "/data/a");
    EXPECT_FALSE(model_.GroupIndex(0).data(Qt::DecorationRole).isNull()) << "a group shows the folder image";
    EXPECT_EQ(model_.rowCount(model_.GroupIndex(0)), 2);
    EXPECT_EQ(model_.ItemAt(model_.IndexOfItem(a2)), a2);
    EXPECT_EQ(model_.ItemAt(model_.GroupIndex(0)), nullptr);
    EXPECT_EQ(model_.IndexOfItem(a2, QM_COLUMN_SIZE).parent(), model_.GroupIndex(0));
    EXPECT_EQ(model_.flags(model_.GroupIndex(0)) & Qt::ItemIsSelectable, 0) << "a group row is no file";
    EXPECT_EQ(model_.data(model_.IndexOfItem(a1, QM_COLUMN_SIZE), Qt::TextAlignmentRole).toInt(),
              static_cast<int>(Qt::AlignRight | Qt::AlignVCenter));

    // group a, a[0], group b, b[0], a[1]
    ASSERT_EQ(inserted.count(), 5);
    EXPECT_FALSE(inserted.at(0).at(0).value<QModelIndex>().isValid());
    EXPECT_EQ(inserted.at(4).at(0).value<QModelIndex>(), model_.GroupIndex(0));
    EXPECT_EQ(inserted.at(4).at(1).toInt(), 1);
    EXPECT_EQ(inserted.at(4).at(2).toInt(), 1);

    QSignalSpy header(&model_, &QAbstractItemModel::headerDataChanged);
    list_.SetHashTitle(u"MD5");
    EXPECT_EQ(header.count(), 1);
    EXPECT_EQ(model_.headerData(QM_COLUMN_HASH, Qt::Horizontal).toString(), "MD5");
    EXPECT_EQ(model_.headerData(QM_COLUMN_NAME, Qt::Horizontal).toString(), QString::fromUtf16(u"文件名"));
}

TEST_F(QtModelTest, CellsRemovalsAndSortsKeepTheirRanges) {
    CQmQuorviaItem* big = Add(u"/s/big", 3);
    CQmQuorviaItem* mid = Add(u"/s/mid", 2);
    CQmQuorviaItem* small = Add(u"/s/small", 1);
    CQmQuorviaItem* other = Add(u"/t/other", 1);
    list_.AppendItems(std::vector<CQmQuorviaItem*>{big, mid, small, other});

    QSignalSpy changed(&model_, &QAbstractItemModel::dataChanged);
    list_.SetCellState(mid, QM_COLUMN_HASH, CQmListModel::CELL_READING);
    list_.SetCellState(small, QM_COLUMN_HASH, CQmListModel::CELL_READING);
    list_.FlushChanges();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>(), model_.IndexOfItem(mid, QM_COLUMN_HASH));
    EXPECT_EQ(changed.at(0).at(1).value<QModelIndex>(), model_.IndexOfItem(small, QM_COLUMN_HASH));
    EXPECT_EQ(model_.IndexOfItem(small, QM_COLUMN_HASH).data().toString(), QString::fromUtf16(u"正在计算中..."));

    const QPersistentModelIndex kept(model_.IndexOfItem(big, QM_COLUMN_HASH));
    QSignalSpy before(&model_, &CQmQuorviaModel::aboutToRearrange);
    QSignalSpy after(&model_, &CQmQuorviaModel::rearranged);
    list_.Sort(QM_COLUMN_SIZE, true);
    EXPECT_EQ(before.count(), 1);
    EXPECT_EQ(after.count(), 1);
    EXPECT_EQ(model_.ItemAt(kept), big) << "a persistent index follows its item";
    EXPECT_EQ(kept.row(), 2);
    EXPECT_EQ(kept.column(), QM_COLUMN_HASH);

    QSignalSpy removed(&model_, &QAbstractItemModel::rowsRemoved);
    list_.RemoveItemRows(std::vector<const CQmQuorviaItem*>{small, mid});
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(0).value<QModelIndex>(), model_.GroupIndex(0));
    EXPECT_EQ(removed.at(0).at(1).toInt(), 0);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 1);

    QSignalSpy folds(&model_, &CQmQuorviaModel::foldChanged);
    QSignalSpy selections(&model_, &CQmQuorviaModel::selectionReplaced);
    list_.SetFolded(1, true);
    list_.SetAllFolded(false);
    list_.SelectAllRows();
    ASSERT_EQ(folds.count(), 2);
    EXPECT_EQ(folds.at(0).at(0).toInt(), 1);
    EXPECT_EQ(folds.at(1).at(0).toInt(), -1);
    EXPECT_EQ(selections.count(), 1);

    QSignalSpy reset(&model_, &QAbstractItemModel::modelReset);
    list_.Reset();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model_.rowCount(), 0);
}

}  // namespace
}  // namespace qm
