// The file list's model: grouping, the status cells and sorting, under Qt's
// model consistency checker.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <memory>
#include <vector>

#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "ui/quorvia_model.h"

namespace qm {
namespace {

class QuorviaModelTest : public ::testing::Test {
protected:
    QuorviaModelTest() : model_(doc_), tester_(&model_, QAbstractItemModelTester::FailureReportingMode::Fatal) {}

    // Items live in the document, as they do in the program.
    CQmQuorviaItem* Add(const char16_t* path, uint64_t length, uint64_t time = 1) {
        auto item = CQmQuorviaItem::CreateItem(path, length, 1);
        item->SetLastWriteTime(time);
        CQmQuorviaItem* raw = item.get();
        doc_.AppendItem(std::move(item));
        return raw;
    }

    CQmQuorviaDoc doc_;
    CQmQuorviaModel model_;
    QAbstractItemModelTester tester_;
};

TEST_F(QuorviaModelTest, GroupsByExactDirectoryInOrderOfFirstAppearance) {
    std::vector<CQmQuorviaItem*> items = {Add(u"/b/1.txt", 1), Add(u"/A/2.txt", 2), Add(u"/a/3.txt", 3),
                                          Add(u"/b/4.txt", 4)};
    model_.AppendItems(items);
    ASSERT_EQ(model_.GetGroupCount(), 3);  // "/A" and "/a" are different directories here
    EXPECT_EQ(model_.GroupDirectory(0), u"/b");
    EXPECT_EQ(model_.GroupDirectory(1), u"/A");
    EXPECT_EQ(model_.GroupDirectory(2), u"/a");
    EXPECT_EQ(model_.rowCount(model_.index(0, 0)), 2);
    EXPECT_EQ(model_.ItemAt(model_.index(1, 0, model_.index(0, 0))), items[3]);
    EXPECT_EQ(model_.GetFileCount(), 4);
}

TEST_F(QuorviaModelTest, TextsOfTheFixedColumns) {
    CQmQuorviaItem* item = Add(u"/d/x.bin", 1536, 0);
    model_.AppendItems({item});
    const QModelIndex row = model_.IndexOfItem(item);
    EXPECT_EQ(model_.data(row).toString(), QStringLiteral("x.bin"));
    EXPECT_EQ(model_.data(row.siblingAtColumn(QM_COLUMN_SIZE)).toString(), QStringLiteral("1.50 KB"));
    EXPECT_EQ(model_.data(row.siblingAtColumn(QM_COLUMN_TIME)).toString(), QStringLiteral("-"));
    EXPECT_EQ(model_.data(row.siblingAtColumn(QM_COLUMN_HASH)).toString(), QString());
}

TEST_F(QuorviaModelTest, CellStateChangesAnnounceExactlyThatCell) {
    CQmQuorviaItem* item = Add(u"/d/x.bin", 1);
    model_.AppendItems({Add(u"/d/a.bin", 1), item});
    QSignalSpy spy(&model_, &QAbstractItemModel::dataChanged);
    model_.SetCellState(item, QM_COLUMN_HASH, CQmQuorviaModel::CELL_READING);
    ASSERT_EQ(spy.count(), 1);
    const QModelIndex cell = model_.IndexOfItem(item, QM_COLUMN_HASH);
    EXPECT_EQ(spy[0][0].toModelIndex(), cell);
    EXPECT_EQ(spy[0][1].toModelIndex(), cell);
    EXPECT_EQ(model_.data(cell).toString(), QStringLiteral("正在计算中..."));
}

TEST_F(QuorviaModelTest, SizeSortUsesExactBytesReversesAndKeepsGroups) {
    std::vector<CQmQuorviaItem*> items = {Add(u"/g1/a", 1025), Add(u"/g1/b", 1024), Add(u"/g2/c", 5),
                                          Add(u"/g1/c", 1026)};
    model_.AppendItems(items);
    model_.Sort(QM_COLUMN_SIZE, true);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{items[1], items[0], items[3], items[2]}));
    model_.Sort(QM_COLUMN_SIZE, false);
    EXPECT_EQ(model_.ItemsInRowOrder(), (std::vector<CQmQuorviaItem*>{items[3], items[0], items[1], items[2]}));
    // The rows are still found through their items' ids after sorting.
    EXPECT_EQ(model_.ItemAt(model_.IndexOfItem(items[1])), items[1]);
}

TEST_F(QuorviaModelTest, NameSortPutsNineBeforeTen) {
    std::vector<CQmQuorviaItem*> items = {Add(u"/d/10.txt", 1), Add(u"/d/9.txt", 1)};
    model_.AppendItems(items);
    model_.Sort(QM_COLUMN_NAME, true);
    EXPECT_EQ(model_.ItemsInRowOrder().front(), items[1]);
}

TEST_F(QuorviaModelTest, ResetDropsEveryRow) {
    model_.AppendItems({Add(u"/d/a", 1)});
    model_.Reset();
    EXPECT_EQ(model_.rowCount(), 0);
    EXPECT_EQ(model_.GetFileCount(), 0);
}

}  // namespace
}  // namespace qm
