// The model behind the file list: the hash document's items grouped by
// directory.
//
// Top-level rows are the directory groups in the order their first file
// appeared (the directory compared exactly: Linux names are case-sensitive);
// each file row sits under its group. The model owns no items: a row points
// at its document item, and the item keeps the row's id (SetViewId), through
// which the model finds the row again wherever sorting moved it.
//
// What the rows show. Name, size and time are made from the item whenever
// the view asks. The hash column (3) and the verification column (4) show
// what the list's update tick last wrote into them, which is not always what
// the item holds now: a cell stays empty until the tick reaches its item, a
// row that takes no part in a verification pass keeps its old texts, and a
// verification pass clears every item's error text while the hash column of
// a file that failed before must go on saying why it has no hash. So instead
// of a text, each row keeps one byte per status column naming what the cell
// shows:
//   CELL_EMPTY    nothing (not written yet, or cleared for a new pass)
//   CELL_READING  "正在计算中..."
//   CELL_RESULT   the result made from the item: the hash text (column 3),
//                 "文件检查正确" or "新文件HASH值:" and the new hash (column 4)
//   CELL_ERROR    the item's error text as it was when the tick wrote the
//                 cell; only these texts are copied, because the item's own
//                 one may be cleared or replaced later
// A result is read from the item only once the tick has seen the item
// processed, and the hasher does not store into it again in that pass, so
// painting never reads a digest a worker is writing.
//
// Changed cells are announced in exact ranges: the tick marks each cell it
// rewrites and FlushChanges announces each run of adjacent rows of one group
// and one column span as one dataChanged.
//
// Per file row the model keeps one pointer (the group's row array) and one
// 12-byte entry indexed by view id (where the row is now and its two cell
// states). GUI thread only; item flags are read with the core's acquire loads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QAbstractItemModel>

#include "document/row_sort_keys.h"

namespace qm {

// What the verification column shows before the new digest of a changed file.
inline constexpr std::u16string_view kNewHashText = u"新文件HASH值:";

class CQmQuorviaDoc;
class CQmQuorviaItem;

class CQmQuorviaModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum CellState : uint8_t {
        CELL_EMPTY = 0,
        CELL_READING = 1,
        CELL_RESULT = 2,
        CELL_ERROR = 3,
    };

    explicit CQmQuorviaModel(CQmQuorviaDoc& doc, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Drops every row and group at once.
    void Reset();
    // Column 3's title (the algorithm's name).
    void SetHashTitle(const QString& title);
    // Appends `items` (in document order) to their directory groups, making
    // new groups at the end; one insertion per run of rows of one group.
    // Gives each item its row's view id.
    void AppendItems(std::span<CQmQuorviaItem* const> items);

    // What column 3 or 4 of `item`'s row shows; CELL_EMPTY without a row.
    CellState GetCellState(const CQmQuorviaItem* item, int column) const;
    // Makes column 3 or 4 of `item`'s row show `state` and marks the cell
    // changed. CELL_RESULT of an item with an error text becomes CELL_ERROR
    // with a copy of that text. False when the item has no row.
    bool SetCellState(const CQmQuorviaItem* item, int column, CellState state);
    // Marks the size and time cells of `item`'s row changed.
    void MarkSizeAndTimeChanged(const CQmQuorviaItem* item);
    // Empties column 4 of every row whose item is selected (a verification
    // pass begins) and announces the cells that were not empty.
    void ClearVerifyColumnOfSelected();
    // Announces the cells marked since the last flush.
    void FlushChanges();

    // Sorts the files of every group by `column`; groups keep their order.
    // The size column compares lengths, the others their shown texts as the
    // row comparison does; equal rows keep their order.
    void Sort(int column, bool ascending);
    // Removes the rows of `items` (before the document frees them), one
    // removal per run of adjacent rows; items without a row are passed over.
    // The number of rows removed.
    size_t RemoveItemRows(std::span<const CQmQuorviaItem* const> items);

    int GetFileCount() const { return fileCount_; }
    int GetGroupCount() const { return static_cast<int>(groups_.size()); }
    // Null for a group row or an invalid index.
    CQmQuorviaItem* ItemAt(const QModelIndex& index) const;
    QModelIndex IndexOfItem(const CQmQuorviaItem* item, int column = 0) const;
    QModelIndex GroupIndex(int group) const;
    // Every file in row order (groups in order, files in their order).
    std::vector<CQmQuorviaItem*> ItemsInRowOrder() const;
    // The shown text of a cell of `item`'s row.
    std::u16string CellText(const CQmQuorviaItem* item, int column) const;
    const std::u16string& GroupDirectory(int group) const { return groups_[static_cast<size_t>(group)].dir; }

private:
    struct Group {
        std::u16string dir;  // as spelled by its first file
        std::vector<CQmQuorviaItem*> rows;
    };
    // Where the row of a view id is, and what its two status cells show.
    struct RowPlace {
        uint32_t group;
        uint32_t row;
        uint8_t hashCell;
        uint8_t verifyCell;
    };
    // A run of adjacent changed rows of one group in one column span.
    struct PendingRun {
        bool active = false;
        uint32_t group = 0;
        uint32_t firstRow = 0;
        uint32_t lastRow = 0;
    };
    enum { RUN_SIZE_TIME = 0, RUN_HASH = 1, RUN_VERIFY = 2, RUN_COUNT = 3 };

    RowPlace* PlaceOf(const CQmQuorviaItem* item);
    const RowPlace* PlaceOf(const CQmQuorviaItem* item) const;
    void MarkChanged(int run, uint32_t group, uint32_t row);
    void EmitRun(int run);
    static uint64_t ErrorKey(int32_t viewId, int column);

    CQmQuorviaDoc& doc_;
    QString hashTitle_;
    std::vector<Group> groups_;
    std::unordered_map<std::u16string, uint32_t> groupOfDir_;
    std::vector<RowPlace> places_;  // index = view id - 1
    // The sort key of every row's file name, index = view id - 1. A name
    // never changes, so its key is made once, as the row goes in, and the
    // sort that ends an enumeration (and every later sort by name) only
    // compares keys.
    CQmRowSortKeys nameKeys_;
    int fileCount_ = 0;
    std::unordered_map<uint64_t, std::u16string> errorTexts_;  // the texts of CELL_ERROR cells
    PendingRun pending_[RUN_COUNT];
};

}  // namespace qm
