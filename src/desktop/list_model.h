// The file list's model: the hash document's items grouped by directory, as
// every front end shows them.
//
// Groups are the items' directories in the order their first file appeared
// (compared as the system compares paths: exactly on Linux, ignoring the
// case of A-Z on Windows), each headed by the directory as its first file
// spells it; each file row sits in its group. The model owns no items: a row
// points at its document item, and the item keeps the row's view id
// (SetViewId), through which the model finds the row again wherever sorting
// moved it.
//
// Two kinds of view read it without copying anything per row:
//   - a tree (the Qt window): group rows with file rows under them, addressed
//     as (group, row);
//   - a flat list with header rows (the Windows window's virtual list): one
//     header row per group, followed by the group's file rows unless it is
//     folded, addressed by a flat index. The flat index is the groups' start
//     offsets, kept up to date from the first group that changed.
//
// What the rows show. Name, size and time are made from the item whenever a
// view asks. The hash column (3) and the verification column (4) show what
// the list's update tick last wrote into them, which is not always what the
// item holds now: a cell stays empty until the tick reaches its item, a row
// that takes no part in a verification pass keeps its old texts, and a
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
// The row selection lives here too, one bit per row, so that it means the
// same in both views (rows of a folded group can be selected, as the
// original group view selects them) and follows its rows through a sort
// without the views remapping a selection of a million rows.
//
// Changes are announced to one observer in exact ranges: each one once as
// it is about to happen (for a toolkit that must be told first) and once
// done. Changed cells are collected by the tick and announced as runs of
// adjacent rows of one group and one column span.
//
// Per file row the model keeps one pointer (the group's row array) and one
// 12-byte entry indexed by view id (where the row is, its two cell states
// and its selection). User-interface thread only; item flags are read with
// the core's acquire loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/os/path_rules.h"
#include "document/row_order.h"
#include "document/row_sort_keys.h"
#include "document/verify_summary.h"

namespace qm {

class CQmQuorviaDoc;
class CQmQuorviaItem;

inline constexpr int kListColumnCount = 5;
// What the verification column shows before the new digest of a changed file.
inline constexpr std::u16string_view kNewHashText = u"新文件HASH值:";
inline constexpr std::u16string_view kReadingText = u"正在计算中...";

// The columns' titles (column 3's until a task names its algorithm) and
// widths in pixels at 96 dots per inch.
std::u16string_view GetListColumnTitle(int column);
int GetListColumnWidth(int column);

// A row of the tree form: a file row, or the header of a group.
struct QmListRow {
    static constexpr uint32_t kHeader = UINT32_MAX;
    uint32_t group = 0;
    uint32_t row = kHeader;
    bool IsHeader() const { return row == kHeader; }
    bool operator==(const QmListRow&) const = default;
};

// One announced change. Rows and columns are inclusive ranges.
struct QmListChange {
    enum Kind {
        Reset,           // everything went (Reset) or the groups' texts changed
        GroupsInserted,  // groups [first, last] appended
        RowsInserted,    // rows [first, last] of `group`
        RowsRemoved,     // rows [first, last] of `group`
        CellsChanged,    // columns [firstColumn, lastColumn] of rows [first, last] of `group` (announced once, done)
        LayoutChanged,   // rows moved within their groups (a sort)
        FoldChanged,     // `group` folded or unfolded; group = kAllGroups for every group
        SelectionChanged,  // the row selection was replaced (select all, a find match, clearing)
        TitleChanged,    // column 3's title (announced once, done)
    };
    static constexpr uint32_t kAllGroups = UINT32_MAX;
    Kind kind = Reset;
    uint32_t group = 0;
    uint32_t first = 0;
    uint32_t last = 0;
    int firstColumn = 0;
    int lastColumn = 0;
};

class IQmListObserver {
public:
    virtual ~IQmListObserver() = default;
    // Before the change; the model still shows the old state.
    virtual void OnListChanging(const QmListChange& change) = 0;
    // After the change.
    virtual void OnListChanged(const QmListChange& change) = 0;
};

class CQmListModel {
public:
    enum CellState : uint8_t {
        CELL_EMPTY = 0,
        CELL_READING = 1,
        CELL_RESULT = 2,
        CELL_ERROR = 3,
    };

    explicit CQmListModel(CQmQuorviaDoc& doc);
    CQmListModel(const CQmListModel&) = delete;
    CQmListModel& operator=(const CQmListModel&) = delete;

    // The one observer (a front end's view), or null.
    void SetObserver(IQmListObserver* observer) { observer_ = observer; }
    CQmQuorviaDoc& GetDocument() const { return doc_; }

    // Drops every row and group at once; the sort column stays.
    void Reset();
    // Column 3's title (the algorithm's name).
    void SetHashTitle(std::u16string_view title);
    const std::u16string& GetHashTitle() const { return hashTitle_; }
    // Appends `items` (in document order) to their directory groups, making
    // new groups at the end; one insertion per run of rows of one group.
    // Gives each item its row's view id.
    void AppendItems(std::span<CQmQuorviaItem* const> items);

    // --- The tree form.
    uint32_t GetGroupCount() const { return static_cast<uint32_t>(groups_.size()); }
    const std::u16string& GetGroupDirectory(uint32_t group) const { return groups_[group].dir; }
    uint32_t GetRowCount(uint32_t group) const { return static_cast<uint32_t>(groups_[group].rows.size()); }
    size_t GetFileCount() const { return fileCount_; }
    // The item of a file row; null for a header or a row that is not there.
    CQmQuorviaItem* ItemAt(QmListRow row) const;
    // Where `item`'s row is; false when it has none.
    bool FindRow(const CQmQuorviaItem* item, QmListRow& row) const;
    // Every file in row order (groups in order, files in their order).
    std::vector<CQmQuorviaItem*> ItemsInRowOrder() const;

    // --- The flat form: a header row per group, then its rows unless folded.
    size_t GetFlatRowCount() const;
    // The row at flat index `index` (< GetFlatRowCount()).
    QmListRow FlatRowAt(size_t index) const;
    // The flat index of a header, or of a file row of an unfolded group;
    // kNoFlatIndex for a row of a folded group.
    static constexpr size_t kNoFlatIndex = SIZE_MAX;
    size_t FlatIndexOf(QmListRow row) const;

    // --- Texts.
    // The shown text of a cell of `item`'s row.
    std::u16string CellText(const CQmQuorviaItem* item, int column) const;
    // The text of any row: a header shows its directory in column 0.
    std::u16string RowText(QmListRow row, int column) const;

    // --- The status cells.
    // What column 3 or 4 of `item`'s row shows; CELL_EMPTY without a row.
    CellState GetCellState(const CQmQuorviaItem* item, int column) const;
    // Makes column 3 or 4 of `item`'s row show `state` and marks the cell
    // changed. CELL_RESULT of an item with an error text becomes CELL_ERROR
    // with a copy of that text. False when the item has no row.
    bool SetCellState(const CQmQuorviaItem* item, int column, CellState state);
    // Marks the size and time cells of `item`'s row changed.
    void MarkSizeAndTimeChanged(const CQmQuorviaItem* item);
    // Empties column 4 of every row whose item takes part in the run
    // (IsSelected) and announces the cells that were not empty.
    void ClearVerifyColumnOfParticipants();
    // Announces the cells marked since the last flush.
    void FlushChanges();

    // --- Sorting.
    // As a click on the header of `column`: a new column sorts ascending, the
    // same column again reverses; -1 sorts again by the current column (0
    // when there is none) in its direction. Groups keep their order.
    void SortByColumn(int column);
    // Sorts the files of every group by `column`; groups keep their order.
    // The size column compares lengths, the others their shown texts as the
    // row comparison does; equal rows keep their order.
    void Sort(int column, bool ascending);
    // The current sort column (-1 before the first sort) and its direction.
    int GetSortColumn() const { return sortColumn_; }
    bool IsSortAscending() const { return sortAscending_; }

    // --- Folding.
    bool IsFolded(uint32_t group) const { return groups_[group].folded; }
    void SetFolded(uint32_t group, bool folded);
    void SetAllFolded(bool folded);

    // --- The row selection.
    bool IsRowSelected(const CQmQuorviaItem* item) const;
    // What the user did in a view: announced to nobody (the view shows it).
    void SetRowSelected(const CQmQuorviaItem* item, bool selected);
    void SetRowsSelected(uint32_t group, uint32_t first, uint32_t last, bool selected);
    void ClearRowSelectionQuietly();
    // What the program does: announced as SelectionChanged.
    void SelectAllRows();
    void SelectOnly(const CQmQuorviaItem* item);
    void ClearRowSelection();
    size_t GetSelectedRowCount() const { return selectedCount_; }
    // The items of the selected rows, in row order.
    std::vector<CQmQuorviaItem*> GetSelectedItems() const;
    // The runs of adjacent selected rows, in row order, as (group, first,
    // last): what a view selects to show the model's selection.
    struct RowRun {
        uint32_t group;
        uint32_t first;
        uint32_t last;
    };
    std::vector<RowRun> GetSelectedRuns() const;

    // --- Removal.
    // Removes the rows of `items` (before the document frees them), one
    // removal per run of adjacent rows; items without a row are passed over.
    // The number of rows removed. Groups that lose every row stay.
    size_t RemoveItemRows(std::span<const CQmQuorviaItem* const> items);

private:
    struct Group {
        std::u16string dir;  // as spelled by its first file
        std::vector<CQmQuorviaItem*> rows;
        bool folded = false;
    };
    // Where the row of a view id is, and what its status cells show.
    struct RowPlace {
        uint32_t group;
        uint32_t row;
        uint8_t hashCell;
        uint8_t verifyCell;
        bool selected;
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
    RowPlace& PlaceAt(uint32_t group, uint32_t row);
    void MarkChanged(int run, uint32_t group, uint32_t row);
    void EmitRun(int run);
    void Changing(const QmListChange& change);
    void Changed(const QmListChange& change);
    void SetSelectedBit(RowPlace& place, bool selected);
    // The flat offsets are stale from group `group` on.
    void InvalidateFlat(uint32_t group);
    void RefreshFlat() const;
    static uint64_t ErrorKey(int32_t viewId, int column);

    CQmQuorviaDoc& doc_;
    IQmListObserver* observer_ = nullptr;
    std::u16string hashTitle_;
    std::vector<Group> groups_;
    std::unordered_map<std::u16string, uint32_t, os::PathTextHasher, os::PathTextEquals> groupOfDir_;
    std::vector<RowPlace> places_;  // index = view id - 1
    // The sort key of every row's file name, index = view id - 1. A name
    // never changes, so its key is made once, as the row goes in, and the
    // sort that ends an enumeration (and every later sort by name) only
    // compares keys.
    CQmRowSortKeys nameKeys_;
    size_t fileCount_ = 0;
    size_t selectedCount_ = 0;
    std::unordered_map<uint64_t, std::u16string> errorTexts_;  // the texts of CELL_ERROR cells
    PendingRun pending_[RUN_COUNT];
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    // flatStart_[g]: the flat index of group g's header; one more entry holds
    // the row count. Valid for the groups below flatValid_.
    mutable std::vector<size_t> flatStart_;
    mutable uint32_t flatValid_ = 0;
};

}  // namespace qm
