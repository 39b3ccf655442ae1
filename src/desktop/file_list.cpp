// The file list's behaviour (see file_list.h).
#include "desktop/file_list.h"

#include <algorithm>
#include <array>

#include "common/error_record.h"
#include "common/path_util.h"
#include "desktop/command_ids.h"
#include "desktop/item_texts.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/verify_summary.h"
#include "engines/hash_catalog.h"
#include "engines/hash_object.h"

namespace qm {

namespace {

bool ShowsResult(CQmListModel::CellState state) {
    return state == CQmListModel::CELL_RESULT || state == CQmListModel::CELL_ERROR;
}

std::u16string_view CatalogName(int32_t algorithm) {
    const CQmHashCatalog& catalog = GetHashCatalog();
    if (!catalog.Contains(algorithm)) return {};
    return catalog.GetAt(catalog.IndexOf(algorithm))->name;
}

// The file rows in the order shown, as the find search sees them.
class CQmShownRows : public IQmFindRows {
public:
    explicit CQmShownRows(const CQmListModel& model) : model_(model), items_(model.ItemsInRowOrder()) {}
    size_t GetColumnCount() const override { return kListColumnCount; }
    std::u16string GetCellText(size_t row, size_t column) const override {
        return model_.CellText(items_[row], static_cast<int>(column));
    }
    size_t GetRowCount() const { return items_.size(); }
    CQmQuorviaItem* GetItem(size_t row) const { return items_[row]; }

private:
    const CQmListModel& model_;
    std::vector<CQmQuorviaItem*> items_;
};

}  // namespace

CQmFileList::CQmFileList(CQmQuorviaDoc& doc, IQmFileListHost& host) : doc_(doc), host_(host), model_(doc) {}

// --- The frame's calls ---------------------------------------------------------

void CQmFileList::Clear() {
    host_.StopTimer(kAddTimerId);
    host_.StopTimer(kUpdateTimerId);
    host_.CancelAddSlice();
    adding_ = false;
    finishing_ = false;
    updating_ = false;
    cursor_ = 0;
    model_.Reset();
}

void CQmFileList::BeginAddItems() {
    Clear();
    model_.SetHashTitle(CatalogName(doc_.GetAlgorithm()));
    adding_ = true;
    host_.StartTimer(kAddTimerId, kListTickMilliseconds);
}

void CQmFileList::EndAddItems() {
    QmWaitCursor wait;
    host_.StopTimer(kAddTimerId);
    host_.CancelAddSlice();
    TakeInItems(std::nullopt);
    CompleteAddItems();
}

bool CQmFileList::FinishAddItems() {
    host_.StopTimer(kAddTimerId);
    host_.CancelAddSlice();
    finishing_ = true;
    if (TakeInItems(addBudget_)) {
        host_.ScheduleAddSlice();
        return false;
    }
    QmWaitCursor wait;
    CompleteAddItems();
    return true;
}

void CQmFileList::CompleteAddItems() {
    adding_ = false;
    finishing_ = false;
    cursor_ = 0;
    updating_ = true;
    host_.StartTimer(kUpdateTimerId, kListTickMilliseconds);
    model_.SortByColumn(-1);
    // The document takes the order shown, so a saved list names its files
    // in that order. Every item is in, so the rows hold each of the
    // document's items once and the document accepts the order. Rows were
    // given their ids in the order their items stood in the document, so an
    // id also says where its item stands there now, which spares the
    // document a search for each item.
    const std::vector<CQmQuorviaItem*> order = model_.ItemsInRowOrder();
    std::vector<uint32_t> places(order.size());
    for (size_t i = 0; i < order.size(); ++i) places[i] = static_cast<uint32_t>(order[i]->GetViewId() - 1);
    doc_.ReplaceItems(order, places);
}

void CQmFileList::BeginHashUpdates() {
    cursor_ = 0;
    updating_ = true;
    host_.StartTimer(kUpdateTimerId, kListTickMilliseconds);
    if (doc_.IsVerifyMode()) model_.ClearVerifyColumnOfParticipants();
}

void CQmFileList::EndHashUpdates() {
    QmWaitCursor wait;
    host_.StopTimer(kUpdateTimerId);
    updating_ = false;
    RunUpdateTick();
}

bool CQmFileList::OnCommand(uint32_t id) {
    switch (id) {
    case ID_EDIT_SELECT_ALL:
        model_.SelectAllRows();
        return true;
    case ID_VIEW_COLLAPSE_ALL:
        model_.SetAllFolded(true);
        return true;
    case ID_VIEW_EXPAND_ALL:
        model_.SetAllFolded(false);
        return true;
    case ID_EDIT_FIND:
        FindCommand();
        return true;
    case ID_EDIT_REPEAT:
        FindNextCommand();
        return true;
    case ID_EDIT_NEXT_PROBLEM:
        NextProblem();
        return true;
    case ID_ITEM_OPEN:
    case ID_ITEM_BROWSE:
    case ID_ITEM_PROPERTIES:
    case ID_COPY_NAME:
    case ID_COPY_PATH:
    case ID_COPY_HASH_TEXT:
    case ID_COPY_HASH_CODE:
    case ID_COPY_LINK:
    case ID_ITEM_VERIFY:
    case ID_ITEM_REMOVE:
        RunItemCommand(id);
        return true;
    default:
        // Copy, cut, the pane keys and relocate have no use here.
        return false;
    }
}

// --- The ticks -------------------------------------------------------------------

void CQmFileList::RunAddTick() {
    host_.CancelAddSlice();
    if (TakeInItems(addBudget_)) {
        host_.ScheduleAddSlice();
        return;
    }
    if (!finishing_) return;
    {
        QmWaitCursor wait;
        CompleteAddItems();
    }
    host_.PostListReady();
}

// A fast enumeration finds well over a hundred thousand files between two
// ticks; taking them all in at once would hold the window still for a good
// part of a second.
bool CQmFileList::TakeInItems(std::optional<std::chrono::milliseconds> budget) {
    const auto start = std::chrono::steady_clock::now();
    std::array<CQmQuorviaItem*, kListBatchSize> batch;
    for (;;) {
        const size_t count = doc_.GetItems(cursor_, batch);
        if (count == 0) return false;
        cursor_ += count;
        model_.AppendItems(std::span<CQmQuorviaItem* const>(batch.data(), count));
        if (count < batch.size()) return false;
        if (budget && std::chrono::steady_clock::now() - start >= *budget) return true;
    }
}

// The update tick walks the document from the cursor. Items that take no
// part in the run are passed over. The first participant that is not
// finished ends the tick (after its row was written), and the cursor stays
// on it, so finished items are never looked at twice.
//
// The workers set an item's flags in an order the list cannot rely on (the
// hasher marks an item processed before it sets updated; the reader sets
// updated before reading), so the flags alone could let a result go
// unshown: the tick might see processed already but updated not yet, pass
// the item and never come back. So the tick compares what the row shows with
// what the item's state calls for and writes the cell when they differ, as
// well as whenever updated is set. It clears updated before it reads the
// state, so a result stored after the read sets the flag again for the next
// tick; and it reads processed before reading, because reading is cleared
// before processed is set.
void CQmFileList::RunUpdateTick() {
    const int target = doc_.IsVerifyMode() ? QM_COLUMN_VERIFY : QM_COLUMN_HASH;
    bool totals = false;
    bool halted = false;
    std::array<CQmQuorviaItem*, kListBatchSize> batch;
    while (!halted) {
        const size_t count = doc_.GetItems(cursor_, batch);
        if (count == 0) break;
        for (size_t i = 0; i < count; ++i) {
            CQmQuorviaItem* item = batch[i];
            if (!item->IsSelected()) {
                ++cursor_;
                continue;
            }
            const bool updated = item->IsUpdated();
            if (updated) item->SetUpdated(false);
            if (item->IsChanged()) {
                item->SetChanged(false);
                model_.MarkSizeAndTimeChanged(item);
                totals = true;
            }
            const bool done = item->IsProcessed();
            const CQmListModel::CellState state = done                ? CQmListModel::CELL_RESULT
                                                  : item->IsReading() ? CQmListModel::CELL_READING
                                                                      : CQmListModel::CELL_EMPTY;
            const CQmListModel::CellState shown = model_.GetCellState(item, target);
            const bool differs = done ? !ShowsResult(shown) : shown != state;
            if (updated || differs) model_.SetCellState(item, target, state);
            if (!done) {
                halted = true;
                break;
            }
            ++cursor_;
        }
    }
    model_.FlushChanges();
    if (totals) host_.PostTotalsChanged();
}

// --- Input -----------------------------------------------------------------------

void CQmFileList::OnColumnClick(int column) {
    if (column < 0 || column >= kListColumnCount) return;
    QmWaitCursor wait;
    model_.SortByColumn(column);
}

void CQmFileList::OnActivate(QmListRow row) {
    if (row.IsHeader()) {
        if (row.group < model_.GetGroupCount()) model_.SetFolded(row.group, !model_.IsFolded(row.group));
        return;
    }
    const CQmQuorviaItem* item = model_.ItemAt(row);
    if (!item) return;
    if (!host_.OpenWithShell(item->GetPath())) ShowLastError(Owner());
}

QmItemMenuState CQmFileList::GetItemMenuState() const {
    QmItemMenuState state;
    const bool busy = doc_.IsBusy();
    state.showLink = doc_.GetAlgorithm() == QM_HASH_115;
    state.verifyEnabled = !busy;
    // The workers hold pointers to the items while a task runs.
    state.removeEnabled = !busy;
    return state;
}

// --- The item commands -----------------------------------------------------------

void CQmFileList::RunItemCommand(uint32_t id) {
    switch (id) {
    case ID_ITEM_OPEN:
        ForEachSelectedFile(&IQmFileListHost::OpenWithShell);
        break;
    case ID_ITEM_BROWSE:
        ForEachSelectedFile(&IQmFileListHost::ShowInFolder);
        break;
    case ID_ITEM_PROPERTIES:
        ShowProperties();
        break;
    case ID_COPY_NAME:
    case ID_COPY_PATH:
    case ID_COPY_HASH_TEXT:
    case ID_COPY_HASH_CODE:
    case ID_COPY_LINK:
        CopySelected(id);
        break;
    case ID_ITEM_VERIFY:
        VerifySelected();
        break;
    case ID_ITEM_REMOVE:
        RemoveSelected();
        break;
    default:
        break;
    }
}

void CQmFileList::ForEachSelectedFile(bool (IQmFileListHost::*action)(std::u16string_view path)) {
    std::u16string errors;
    {
        QmWaitCursor wait;
        for (const CQmQuorviaItem* item : model_.GetSelectedItems()) {
            if (!(host_.*action)(item->GetPath())) errors += GetLastErrorText() + u"\r\n";
        }
    }
    // One line per failure; the last line break would only add an empty line.
    while (!errors.empty() && (errors.back() == u'\r' || errors.back() == u'\n')) errors.pop_back();
    if (!errors.empty()) ShowMessage(Owner(), MB_ICONERROR, errors);
}

void CQmFileList::ShowProperties() {
    std::vector<std::u16string> paths;
    for (const CQmQuorviaItem* item : model_.GetSelectedItems()) paths.emplace_back(item->GetPath());
    if (paths.empty()) return;
    bool shown;
    {
        QmWaitCursor wait;
        shown = host_.ShowProperties(paths);
    }
    if (!shown) ShowLastError(Owner());
}

void CQmFileList::CopySelected(uint32_t id) {
    const std::vector<CQmQuorviaItem*> items = model_.GetSelectedItems();
    std::vector<std::u16string> pieces;
    pieces.reserve(items.size());
    std::u16string text;
    if (id == ID_COPY_LINK) {
        if (doc_.GetAlgorithm() != QM_HASH_115) return;
        for (const CQmQuorviaItem* item : items) pieces.push_back(doc_.GetLink115(item));
        text = JoinCopyLines(pieces, QmEmptyPiece::Skip);
    } else if (id == ID_COPY_HASH_CODE) {
        for (const CQmQuorviaItem* item : items) pieces.push_back(model_.CellText(item, QM_COLUMN_HASH));
        text = MakeHashCArrays(CatalogName(doc_.GetAlgorithm()), pieces);
    } else {
        for (const CQmQuorviaItem* item : items) {
            if (id == ID_COPY_NAME) pieces.emplace_back(PathFindFileName(item->GetPath()));
            if (id == ID_COPY_PATH) pieces.emplace_back(item->GetPath());
            if (id == ID_COPY_HASH_TEXT) pieces.push_back(model_.CellText(item, QM_COLUMN_HASH));
        }
        text = JoinCopyLines(pieces);
    }
    if (!host_.CopyToClipboard(text)) ShowLastError(Owner());
}

void CQmFileList::VerifySelected() {
    // Greyed in the menu while a task runs; the workers own the flags then.
    if (doc_.IsBusy()) return;
    doc_.SelectAll(false, false);
    bool shownUnhashed = false;
    for (CQmQuorviaItem* item : model_.GetSelectedItems()) {
        if (item->HasHash()) {
            item->SetSelected(true);
        } else if (!shownUnhashed) {
            shownUnhashed = true;
            QmListRow row;
            if (model_.FindRow(item, row)) model_.SetFolded(row.group, false);
            host_.ScrollToItem(item);
        }
    }
    host_.PostFrameCommand(ID_ITEM_VERIFY);
}

void CQmFileList::RemoveSelected() {
    // A worker may hold any item while a task runs, so nothing is freed then.
    if (doc_.IsBusy()) return;
    if (ShowMessage(Owner(), MB_OKCANCEL | MB_ICONQUESTION, kRemoveQuestion) == IDOK) {
        QmWaitCursor wait;
        const std::vector<CQmQuorviaItem*> items = model_.GetSelectedItems();
        RemoveItems(items);
    }
    host_.PostFrameCommand(ID_ITEM_REMOVE);
}

size_t CQmFileList::RemoveItems(std::span<CQmQuorviaItem* const> items) {
    const std::span<const CQmQuorviaItem* const> doomed(items.data(), items.size());
    // While a tick runs its cursor counts document items; every item removed
    // before the cursor moves the later ones down by one.
    size_t before = 0;
    if ((adding_ || updating_) && cursor_ > 0) {
        std::vector<const CQmQuorviaItem*> sorted(doomed.begin(), doomed.end());
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        std::array<CQmQuorviaItem*, kListBatchSize> batch;
        for (size_t start = 0; start < cursor_;) {
            const size_t count = doc_.GetItems(start, batch);
            if (count == 0) break;
            const size_t limit = std::min(count, cursor_ - start);
            for (size_t i = 0; i < limit; ++i) {
                if (std::binary_search(sorted.begin(), sorted.end(), batch[i])) ++before;
            }
            start += count;
        }
    }
    // The rows go first, while their items still exist.
    model_.RemoveItemRows(doomed);
    const size_t removed = doc_.RemoveItems(doomed);
    cursor_ -= std::min(before, cursor_);
    return removed;
}

// --- The next problem --------------------------------------------------------------

// From the first selected row on (from the top without one) to the next row
// whose file is wrong or failed, wrapping round once; the selected row itself
// comes last, so it is found again only when it is the one problem.
void CQmFileList::NextProblem() {
    const std::vector<CQmQuorviaItem*> rows = model_.ItemsInRowOrder();
    // Without a selection the search begins at the first row.
    size_t start = rows.empty() ? 0 : rows.size() - 1;
    if (model_.GetSelectedRowCount() > 0) {
        for (size_t row = 0; row < rows.size(); ++row) {
            if (model_.IsRowSelected(rows[row])) {
                start = row;
                break;
            }
        }
    }
    for (size_t step = 1; step <= rows.size(); ++step) {
        CQmQuorviaItem* item = rows[(start + step) % rows.size()];
        if (!IsProblemItem(doc_, *item)) continue;
        QmListRow row;
        if (model_.FindRow(item, row)) model_.SetFolded(row.group, false);
        model_.SelectOnly(item);
        host_.ScrollToItem(item);
        return;
    }
    ShowMessage(Owner(), MB_ICONINFORMATION, kNoProblemText);
}

// --- Find ------------------------------------------------------------------------

void CQmFileList::FindCommand() {
    const QmFindAction action = find_.OnFindCommand();
    host_.ShowFindDialog(find_.GetSettings(), action == QmFindAction::OpenDialog);
}

void CQmFileList::FindNextCommand() {
    const QmFindAction action = find_.OnFindNextCommand();
    if (action == QmFindAction::Search) {
        SearchNext();
    } else {
        host_.ShowFindDialog(find_.GetSettings(), action == QmFindAction::OpenDialog);
    }
}

void CQmFileList::OnFindDialogNext(const QmFindSettings& settings) {
    find_.OnDialogFindNext(settings);
    SearchNext();
}

void CQmFileList::SearchNext() {
    std::optional<size_t> found;
    std::optional<CQmShownRows> rows;
    {
        // Every cell's text is made for the search; a long list takes a moment.
        QmWaitCursor wait;
        rows.emplace(model_);
        std::optional<size_t> first;
        if (model_.GetSelectedRowCount() > 0) {
            for (size_t row = 0; row < rows->GetRowCount(); ++row) {
                if (model_.IsRowSelected(rows->GetItem(row))) {
                    first = row;
                    break;
                }
            }
        }
        found = FindRow(*rows, rows->GetRowCount(), first, find_.GetSettings());
    }
    if (!found) {
        QmWindow owner = find_.IsDialogOpen() ? host_.GetFindDialogWindow() : nullptr;
        ShowMessage(owner ? owner : Owner(), MB_ICONINFORMATION, kFindFinishedText);
        return;
    }
    CQmQuorviaItem* match = rows->GetItem(*found);
    QmListRow row;
    if (model_.FindRow(match, row)) model_.SetFolded(row.group, false);
    model_.SelectOnly(match);
    host_.ScrollToItem(match);
}

}  // namespace qm
