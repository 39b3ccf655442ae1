// The main window's file list: the hash document's files grouped by
// directory.
//
// A tree view over CQmQuorviaModel: one top-level row per directory group
// (folder image, the directory as its first file spells it), the files under
// it in five columns. Two half-second timers keep it in step with the
// workers: the add tick takes in the files the enumeration appended to the
// document, in batches of 100, and the update tick rewrites the hash or
// verification column of the files the reader and hasher have reached. Ticks
// only change the model; Qt paints what changed once, after the tick, so
// adding tens of thousands of files never repaints per row.
//
// The frame calls, for a new task: BeginAddItems, then (enumeration done)
// EndAddItems and BeginHashUpdates, then (hashing done) EndHashUpdates; for a
// loaded list all four in a row; for a verification pass BeginHashUpdates and
// EndHashUpdates. After the document was emptied without a new task (a
// failed load or task start) the frame calls Clear, so that no row keeps a
// pointer to a freed item.
//
// GUI thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include <QTimer>
#include <QTreeView>

#include "desktop/find_logic.h"

namespace qm {

class CQmQuorviaDoc;
class CQmQuorviaItem;
class CQmQuorviaModel;
class CQmFindDlg;

// The period of both timers, in milliseconds.
inline constexpr int kViewTickMilliseconds = 500;
// Items taken from the document per batch.
inline constexpr size_t kViewBatchSize = 100;

class CQuorviaView : public QTreeView {
    Q_OBJECT
public:
    // Shows the process-wide document.
    explicit CQuorviaView(QWidget* parent = nullptr);
    // Shows `doc`, which must outlive the view (tests and benchmarks).
    explicit CQuorviaView(CQmQuorviaDoc& doc, QWidget* parent = nullptr);
    ~CQuorviaView() override;

    void BeginAddItems();
    void EndAddItems();
    void BeginHashUpdates();
    void EndHashUpdates();

    // The number of file rows.
    int GetItemCount() const;
    // Selects every file row.
    void SelectAllItems();
    void CollapseAll();
    void ExpandAll();
    // As a click on the header of `column`: a new column sorts ascending, the
    // same column again reverses. -1 sorts again by the current column (0
    // when there is none) in its direction.
    void SortByColumn(int column);
    // The current sort column (-1 before the first sort) and its direction.
    int GetSortColumn() const { return sortColumn_; }
    bool IsSortAscending() const { return sortAscending_; }
    // The items of the selected file rows, in row order.
    std::vector<CQmQuorviaItem*> GetSelectedItems() const;
    // Drops every row at once and stops both timers.
    void Clear();
    // Removes `items` from the document and their rows from the list (the
    // rows go first, while the items still exist). The number of items the
    // document held and removed.
    size_t RemoveItems(std::span<CQmQuorviaItem* const> items);

    // One tick now, as the timer would run it. The add tick takes in batches
    // until the document has no more or its time budget is spent; what is
    // left is taken in by further slices run from the event loop at once,
    // so the window repaints and answers input between them.
    void RunAddTick();
    // The add tick's budget (30 ms unless set; tests set 0 to see slices).
    void SetAddTickBudget(std::chrono::milliseconds budget) { addBudget_ = budget; }
    void RunUpdateTick();
    bool IsAddTimerActive() const;
    bool IsUpdateTimerActive() const;

    CQmQuorviaModel* GetModel() const;
    CQmQuorviaDoc& GetDocument() const { return doc_; }

    // Ctrl+A and the view's own select-all select the file rows only.
    void selectAll() override;
    // Lays out the rows, then spans the groups added since the last layout.
    void doItemsLayout() override;

    // The item commands of the context menu (ID_ITEM_*, ID_COPY_*) on the
    // selected file rows in row order; others are ignored. Verify and remove
    // end by sending itemCommandDone for the frame's part of the work.
    void RunItemCommand(uint32_t id);
    // Ctrl+F (opens the find dialog or brings it to the front) and F3
    // (repeats the last search; before the first one opens the dialog).
    void FindCommand();
    void FindNextCommand();
    // The find dialog, once it was opened (tests).
    CQmFindDlg* GetFindDialog() const { return findDlg_; }

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

private:
    void SetUpView();
    void OnHeaderClicked(int section);
    void OnActivated(const QModelIndex& index);
    // Expands the groups from `first` on, which the last add tick created,
    // and leaves them to be spanned by the next layout.
    void ShowNewGroups(int first);
    // Takes in waiting items in batches, all of them or until `budget` is
    // spent; true when items may be left.
    bool TakeInItems(std::optional<std::chrono::milliseconds> budget);
    void ApplySortIndicator();
    // Opens or shows each selected file; the failures in one box.
    void ForEachSelectedFile(bool (*action)(std::u16string_view path));
    void CopySelected(uint32_t id);
    void VerifySelected();
    void RemoveSelected();
    // Opens the find dialog (making it the first time) or brings it to the
    // front, as the find state decided.
    void ShowFindDialog(QmFindAction action);
    // One search step with the find settings.
    void SearchNext();

    CQmQuorviaDoc& doc_;
    CQmQuorviaModel* model_ = nullptr;  // child of the view
    QTimer addTimer_;
    QTimer updateTimer_;
    QTimer addSlice_;  // zero-delay single shot: the rest of an add tick
    std::chrono::milliseconds addBudget_{30};
    // The first group not spanned yet; groups from it on were added since
    // the last layout.
    int unspannedGroup_ = 0;
    // Index into the document of the next item the running tick looks at.
    size_t cursor_ = 0;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    CQmFindState find_;
    CQmFindDlg* findDlg_ = nullptr;  // child of the view, made when first opened
};

}  // namespace qm
