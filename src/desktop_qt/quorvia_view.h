// The main window's file list on Qt: the hash document's files grouped by
// directory.
//
// A tree view over CQmQuorviaModel: one top-level row per directory group
// (folder image, the directory as its first file spells it), the files under
// it in five columns. Everything the list decides is CQmFileList's
// (desktop/file_list.h): the ticks, sorting, folding, the selection, find
// and the item commands. This view draws, runs the timers the list asks
// for, forwards clicks, keys and menu choices, mirrors the list model's
// selection and fold state, and does for the list what only the desktop can
// (the clipboard, opening and showing files). Ticks only change the model;
// Qt paints what changed once, after the tick, so adding tens of thousands
// of files never repaints per row.
//
// GUI thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include <QTimer>
#include <QTreeView>

#include "desktop/command_ids.h"
#include "desktop/file_list.h"

namespace qm {

class CQmQuorviaDoc;
class CQmQuorviaItem;
class CQmQuorviaModel;
class CQmFindDlg;

class CQuorviaView : public QTreeView, private IQmFileListHost {
    Q_OBJECT
public:
    // Shows the process-wide document.
    explicit CQuorviaView(QWidget* parent = nullptr);
    // Shows `doc`, which must outlive the view (tests and benchmarks).
    explicit CQuorviaView(CQmQuorviaDoc& doc, QWidget* parent = nullptr);
    ~CQuorviaView() override;

    CQmFileList& FileList() { return list_; }
    CQmQuorviaModel* GetModel() const { return model_; }
    CQmQuorviaDoc& GetDocument() const { return list_.GetDocument(); }

    // The list's calls, for the frame's logic and for tests.
    void BeginAddItems() { list_.BeginAddItems(); }
    void EndAddItems() { list_.EndAddItems(); }
    void BeginHashUpdates() { list_.BeginHashUpdates(); }
    void EndHashUpdates() { list_.EndHashUpdates(); }
    void Clear() { list_.Clear(); }
    void RunAddTick() { list_.RunAddTick(); }
    void RunUpdateTick() { list_.RunUpdateTick(); }
    void SetAddTickBudget(std::chrono::milliseconds budget) { list_.SetAddTickBudget(budget); }
    int GetItemCount() const { return static_cast<int>(list_.GetItemCount()); }
    bool IsAddTimerActive() const { return addTimer_.isActive(); }
    bool IsUpdateTimerActive() const { return updateTimer_.isActive(); }

    // As a click on the header of `column`; -1 sorts again by the current
    // column.
    void SortByColumn(int column);
    int GetSortColumn() const;
    bool IsSortAscending() const;
    void SelectAllItems() { list_.OnCommand(ID_EDIT_SELECT_ALL); }
    void CollapseAll() { list_.OnCommand(ID_VIEW_COLLAPSE_ALL); }
    void ExpandAll() { list_.OnCommand(ID_VIEW_EXPAND_ALL); }
    // The items of the selected file rows, in row order.
    std::vector<CQmQuorviaItem*> GetSelectedItems() const;
    size_t RemoveItems(std::span<CQmQuorviaItem* const> items) { return list_.RemoveItems(items); }
    void RunItemCommand(uint32_t id) { list_.RunItemCommand(id); }
    void FindCommand() { list_.OnCommand(ID_EDIT_FIND); }
    void FindNextCommand() { list_.OnCommand(ID_EDIT_REPEAT); }
    // The find dialog, once it was opened (tests).
    CQmFindDlg* GetFindDialog() const { return findDlg_; }

    // Ctrl+A and the view's own select-all select the file rows only.
    void selectAll() override;
    // Lays out the rows, then spans the groups added since the last layout.
    void doItemsLayout() override;

protected:
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    // The item context menu, at the mouse or, from the keyboard, at the
    // current row.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

signals:
    // The totals the frame shows are out of date: an item's size or time
    // changed when the reader opened it.
    void totalsChanged();
    // An item command that the frame finishes (ID_ITEM_VERIFY: run the
    // verification pass over the marked items; ID_ITEM_REMOVE: recount).
    void itemCommandDone(uint32_t id);
    // Every row the enumeration found is in (after FinishAddItems).
    void listReady();

private:
    void SetUpView();
    void OnActivated(const QModelIndex& index);
    // Makes the tree's selection the list model's, without telling the
    // model what it already knows.
    void ApplyModelSelection();
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void ApplyFold(int group);
    void ApplySortIndicator();

    // IQmFileListHost
    QmWindow GetListWindow() override;
    void StartTimer(uint32_t id, uint32_t periodMs) override;
    void StopTimer(uint32_t id) override;
    void ScheduleAddSlice() override;
    void CancelAddSlice() override;
    void PostTotalsChanged() override;
    void PostFrameCommand(uint32_t id) override;
    void PostListReady() override;
    void ScrollToItem(const CQmQuorviaItem* item) override;
    void ShowFindDialog(const QmFindSettings& settings, bool open) override;
    QmWindow GetFindDialogWindow() override;
    bool OpenWithShell(std::u16string_view path) override;
    bool ShowInFolder(std::u16string_view path) override;
    bool ShowProperties(const std::vector<std::u16string>& paths) override;
    bool CopyToClipboard(std::u16string_view text) override;

    CQmFileList list_;
    // Declared after the list it observes, so it goes first.
    std::unique_ptr<CQmQuorviaModel> modelOwner_;
    CQmQuorviaModel* model_ = nullptr;
    QTimer addTimer_;
    QTimer updateTimer_;
    QTimer addSlice_;  // zero-delay single shot: the rest of an add tick
    // The first group not spanned yet; groups from it on were added since
    // the last layout.
    int unspannedGroup_ = 0;
    // Set while the tree's selection is being made the model's.
    bool applyingSelection_ = false;
    CQmFindDlg* findDlg_ = nullptr;  // child of the view, made when first opened
};

}  // namespace qm
