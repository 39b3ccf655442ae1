// The model behind the file list: the hash document's items grouped by
// directory.
//
// Top-level rows are the directory groups in the order their first file
// appeared; each file row sits under its group. The model owns no items: a
// row points at its document item, and the item keeps the row's id
// (SetViewId), through which the model finds the row again after sorting.
//
// No text is kept per row. The hash and verification columns show what the
// update tick last decided for the row (nothing yet, "being read", or the
// result), so each row keeps one byte naming that state, and data() makes the
// text from the item each time it is asked. The one exception is the error of
// the hashing run shown in the hash column: a verification pass clears every
// item's error text, while rows that took no part in it must keep showing why
// they have no hash, so that text is kept, for failed rows only.
//
// GUI thread only. Item flags and results are read with the core's acquire
// loads; a worker may store a result at any time, and the update tick's
// order (clear the updated flag, then read) makes sure it is shown later.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <QAbstractItemModel>

namespace qm {

class CQmQuorviaDoc;
class CQmQuorviaItem;

class CQmQuorviaModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum CellState : uint8_t {
        CELL_EMPTY = 0,
        CELL_READING = 1,  // "正在计算中..."
        CELL_RESULT = 2,   // the error text, the hash, or the verification result
    };

    explicit CQmQuorviaModel(CQmQuorviaDoc& doc, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Drops every row and group.
    void Reset();
    // Column 3's title: the algorithm's name.
    void SetHashTitle(const QString& title);
    // Appends `items` (in document order) to their directory groups, making
    // new groups at the end; one insertion per run of rows of one group.
    void AppendItems(const std::vector<CQmQuorviaItem*>& items);
    // Sets the state of the hash or verification column of `item`'s row and
    // announces the change of that one cell. `column` is 3 or 4.
    void SetCellState(const CQmQuorviaItem* item, int column, CellState state);
    // Announces new values in the size and time columns of `item`'s row.
    void RefreshSizeAndTime(const CQmQuorviaItem* item);
    // Empties column 4 of every row whose item is selected (a new
    // verification pass), announcing the changed cells.
    void ClearVerifyColumnOfSelected();
    // Sorts the files of every group by `column`; groups keep their order.
    void Sort(int column, bool ascending);

    int GetFileCount() const { return static_cast<int>(rowOfId_.size()); }
    int GetGroupCount() const { return static_cast<int>(groups_.size()); }
    // Null for a group row or an invalid index.
    CQmQuorviaItem* ItemAt(const QModelIndex& index) const;
    QModelIndex IndexOfItem(const CQmQuorviaItem* item, int column = 0) const;
    // Every file in row order (groups in order, files in their order).
    std::vector<CQmQuorviaItem*> ItemsInRowOrder() const;
    // The shown text of a cell (what data() gives for the display role).
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

    RowPlace* PlaceOf(const CQmQuorviaItem* item);
    const RowPlace* PlaceOf(const CQmQuorviaItem* item) const;

    CQmQuorviaDoc& doc_;
    QString hashTitle_;
    std::vector<Group> groups_;
    std::unordered_map<std::u16string, uint32_t> groupOfDir_;
    std::vector<RowPlace> rowOfId_;  // index = view id - 1
    std::unordered_map<int32_t, std::u16string> hashErrors_;  // view id → error shown in column 3
};

}  // namespace qm
