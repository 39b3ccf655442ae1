// The file list's list model as a Qt item model: what the tree view reads.
//
// Top-level rows are the list model's directory groups, file rows sit under
// them, five columns. The texts, the groups, the order and the cell states
// are all the list model's (desktop/list_model.h); this adapter turns its
// exact change notices into Qt's begin/end calls and signals, and keeps the
// persistent indexes of a sort on their items.
//
// A sort announces itself first with aboutToRearrange and ends with
// rearranged, outside Qt's layout signals, so the view can take its
// selection down before Qt would turn it into one persistent index per
// selected row, and put it back from the list model's selection after.
//
// GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractItemModel>

#include "desktop/list_model.h"

namespace qm {

class CQmQuorviaItem;

class CQmQuorviaModel : public QAbstractItemModel, private IQmListObserver {
    Q_OBJECT
public:
    explicit CQmQuorviaModel(CQmListModel& list, QObject* parent = nullptr);
    ~CQmQuorviaModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    CQmListModel& List() const { return list_; }
    int GetFileCount() const { return static_cast<int>(list_.GetFileCount()); }
    int GetGroupCount() const { return static_cast<int>(list_.GetGroupCount()); }
    // Null for a group row or an invalid index.
    CQmQuorviaItem* ItemAt(const QModelIndex& index) const;
    QModelIndex IndexOfItem(const CQmQuorviaItem* item, int column = 0) const;
    QModelIndex GroupIndex(int group) const;
    // The list model's row of an index of column 0 or any other.
    bool RowOf(const QModelIndex& index, QmListRow& row) const;

signals:
    // A sort is about to move rows / has moved them.
    void aboutToRearrange();
    void rearranged();
    // The list model's selection was replaced by the program.
    void selectionReplaced();
    // Group `group` was folded or unfolded; -1: every group.
    void foldChanged(int group);

private:
    void OnListChanging(const QmListChange& change) override;
    void OnListChanged(const QmListChange& change) override;

    CQmListModel& list_;
    // The items under the persistent indexes while a sort runs.
    QModelIndexList persistentBefore_;
    std::vector<const CQmQuorviaItem*> itemsBefore_;
};

}  // namespace qm
