// The file list's model (see list_model.h).
#include "desktop/list_model.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "common/formatting.h"
#include "common/path_util.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "engines/hash_text.h"

namespace qm {

namespace {

// The group of a view id whose row was removed.
constexpr uint32_t kNoGroup = std::numeric_limits<uint32_t>::max();

const char16_t* const kColumnTitles[kListColumnCount] = {u"文件名", u"大小", u"修改日期", u"文件HASH",
                                                         u"文件验证信息"};
constexpr int kColumnWidths[kListColumnCount] = {280, 100, 140, 320, 400};

}  // namespace

std::u16string_view GetListColumnTitle(int column) {
    return column >= 0 && column < kListColumnCount ? kColumnTitles[column] : std::u16string_view();
}

int GetListColumnWidth(int column) { return column >= 0 && column < kListColumnCount ? kColumnWidths[column] : 0; }

CQmListModel::CQmListModel(CQmQuorviaDoc& doc) : doc_(doc), hashTitle_(kColumnTitles[QM_COLUMN_HASH]) {}

void CQmListModel::Changing(const QmListChange& change) {
    if (observer_) observer_->OnListChanging(change);
}

void CQmListModel::Changed(const QmListChange& change) {
    if (observer_) observer_->OnListChanged(change);
}

uint64_t CQmListModel::ErrorKey(int32_t viewId, int column) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(viewId)) << 1) | (column == QM_COLUMN_VERIFY ? 1u : 0u);
}

void CQmListModel::Reset() {
    const QmListChange change{QmListChange::Reset};
    Changing(change);
    for (PendingRun& run : pending_) run.active = false;
    groups_.clear();
    groupOfDir_.clear();
    places_.clear();
    nameKeys_.Clear();
    errorTexts_.clear();
    fileCount_ = 0;
    selectedCount_ = 0;
    flatStart_.clear();
    flatValid_ = 0;
    Changed(change);
}

void CQmListModel::SetHashTitle(std::u16string_view title) {
    if (title == hashTitle_) return;
    hashTitle_ = title;
    Changed({QmListChange::TitleChanged, 0, 0, 0, QM_COLUMN_HASH, QM_COLUMN_HASH});
}

void CQmListModel::AppendItems(std::span<CQmQuorviaItem* const> items) {
    size_t pos = 0;
    while (pos < items.size()) {
        std::u16string dir = PathRemoveFileSpec(items[pos]->GetPath());
        auto found = groupOfDir_.find(dir);
        uint32_t group;
        if (found == groupOfDir_.end()) {
            group = static_cast<uint32_t>(groups_.size());
            const QmListChange change{QmListChange::GroupsInserted, 0, group, group};
            Changing(change);
            groups_.push_back({dir, {}, false});
            groupOfDir_.emplace(std::move(dir), group);
            InvalidateFlat(group);
            Changed(change);
        } else {
            group = found->second;
        }
        // The run of following items of the same directory goes in at once.
        const std::u16string& groupDir = groups_[group].dir;
        size_t end = pos + 1;
        while (end < items.size() && os::PathTextEqual(PathFindDirectory(items[end]->GetPath()), groupDir)) ++end;

        std::vector<CQmQuorviaItem*>& rows = groups_[group].rows;
        const auto first = static_cast<uint32_t>(rows.size());
        const QmListChange change{QmListChange::RowsInserted, group, first,
                                  first + static_cast<uint32_t>(end - pos) - 1};
        Changing(change);
        for (size_t i = pos; i < end; ++i) {
            CQmQuorviaItem* item = items[i];
            places_.push_back({group, static_cast<uint32_t>(rows.size()), CELL_EMPTY, CELL_EMPTY, false});
            nameKeys_.Add(PathFindFileName(item->GetPath()));
            item->SetViewId(static_cast<int32_t>(places_.size()));
            rows.push_back(item);
        }
        fileCount_ += end - pos;
        InvalidateFlat(group + 1);
        Changed(change);
        pos = end;
    }
}

// --- Rows -------------------------------------------------------------------

CQmListModel::RowPlace* CQmListModel::PlaceOf(const CQmQuorviaItem* item) {
    if (!item) return nullptr;
    const int32_t id = item->GetViewId();
    if (id <= 0 || static_cast<size_t>(id) > places_.size()) return nullptr;
    RowPlace& place = places_[static_cast<size_t>(id - 1)];
    if (place.group == kNoGroup) return nullptr;
    // An item that was shown before the list was emptied may carry an id
    // that is now another row's; only the row that points back at the item
    // is its row.
    const std::vector<CQmQuorviaItem*>& rows = groups_[place.group].rows;
    if (place.row >= rows.size() || rows[place.row] != item) return nullptr;
    return &place;
}

const CQmListModel::RowPlace* CQmListModel::PlaceOf(const CQmQuorviaItem* item) const {
    return const_cast<CQmListModel*>(this)->PlaceOf(item);
}

CQmListModel::RowPlace& CQmListModel::PlaceAt(uint32_t group, uint32_t row) {
    return places_[static_cast<size_t>(groups_[group].rows[row]->GetViewId() - 1)];
}

CQmQuorviaItem* CQmListModel::ItemAt(QmListRow row) const {
    if (row.group >= groups_.size() || row.IsHeader()) return nullptr;
    const std::vector<CQmQuorviaItem*>& rows = groups_[row.group].rows;
    return row.row < rows.size() ? rows[row.row] : nullptr;
}

bool CQmListModel::FindRow(const CQmQuorviaItem* item, QmListRow& row) const {
    const RowPlace* place = PlaceOf(item);
    if (!place) return false;
    row = {place->group, place->row};
    return true;
}

std::vector<CQmQuorviaItem*> CQmListModel::ItemsInRowOrder() const {
    std::vector<CQmQuorviaItem*> items;
    items.reserve(fileCount_);
    for (const Group& group : groups_) items.insert(items.end(), group.rows.begin(), group.rows.end());
    return items;
}

// --- The flat form -----------------------------------------------------------

void CQmListModel::InvalidateFlat(uint32_t group) { flatValid_ = std::min(flatValid_, group); }

void CQmListModel::RefreshFlat() const {
    const auto count = static_cast<uint32_t>(groups_.size());
    auto shown = [this](uint32_t g) { return 1 + (groups_[g].folded ? 0 : groups_[g].rows.size()); };
    flatStart_.resize(count + 1u);
    for (uint32_t g = std::min(flatValid_, count); g < count; ++g) {
        flatStart_[g] = g == 0 ? 0 : flatStart_[g - 1] + shown(g - 1);
    }
    flatValid_ = count;
    // The total follows the last group, whose rows change without moving
    // any start.
    flatStart_[count] = count == 0 ? 0 : flatStart_[count - 1] + shown(count - 1);
}

size_t CQmListModel::GetFlatRowCount() const {
    RefreshFlat();
    return flatStart_.back();
}

QmListRow CQmListModel::FlatRowAt(size_t index) const {
    RefreshFlat();
    // The last group whose header is at or before `index`.
    const auto next = std::upper_bound(flatStart_.begin(), flatStart_.end() - 1, index);
    const auto group = static_cast<uint32_t>(next - flatStart_.begin() - 1);
    const size_t offset = index - flatStart_[group];
    return offset == 0 ? QmListRow{group, QmListRow::kHeader} : QmListRow{group, static_cast<uint32_t>(offset - 1)};
}

size_t CQmListModel::FlatIndexOf(QmListRow row) const {
    if (row.group >= groups_.size()) return kNoFlatIndex;
    RefreshFlat();
    if (row.IsHeader()) return flatStart_[row.group];
    if (groups_[row.group].folded || row.row >= groups_[row.group].rows.size()) return kNoFlatIndex;
    return flatStart_[row.group] + 1 + row.row;
}

// --- Texts -------------------------------------------------------------------

std::u16string CQmListModel::CellText(const CQmQuorviaItem* item, int column) const {
    switch (column) {
    case QM_COLUMN_NAME: return std::u16string(PathFindFileName(item->GetPath()));
    case QM_COLUMN_SIZE: return StrFormatByteSize(item->GetLength());
    case QM_COLUMN_TIME: {
        const uint64_t time = item->GetLastWriteTime();
        return time == 0 ? std::u16string(u"-") : FormatFileTime(time, true);
    }
    case QM_COLUMN_HASH:
    case QM_COLUMN_VERIFY: break;
    default: return {};
    }
    const RowPlace* place = PlaceOf(item);
    if (!place) return {};
    const uint8_t state = column == QM_COLUMN_HASH ? place->hashCell : place->verifyCell;
    switch (state) {
    case CELL_READING: return std::u16string(kReadingText);
    case CELL_ERROR: {
        const auto text = errorTexts_.find(ErrorKey(item->GetViewId(), column));
        return text == errorTexts_.end() ? std::u16string() : text->second;
    }
    case CELL_RESULT: break;
    default: return {};
    }
    const auto size = static_cast<uint32_t>(std::max(doc_.GetDigestSize(), 0));
    std::u16string text;
    if (column == QM_COLUMN_HASH) {
        GetHashValueText(doc_.GetAlgorithm(), item->GetHash(), size, text);
        return text;
    }
    if (item->VerifyMatches(size)) return std::u16string(kVerifiedText);
    GetHashValueText(doc_.GetAlgorithm(), item->GetVerifyHash(), size, text);
    return std::u16string(kNewHashText) + text;
}

std::u16string CQmListModel::RowText(QmListRow row, int column) const {
    if (row.group >= groups_.size()) return {};
    if (row.IsHeader()) return column == QM_COLUMN_NAME ? groups_[row.group].dir : std::u16string();
    const CQmQuorviaItem* item = ItemAt(row);
    return item ? CellText(item, column) : std::u16string();
}

// --- The status cells --------------------------------------------------------

CQmListModel::CellState CQmListModel::GetCellState(const CQmQuorviaItem* item, int column) const {
    const RowPlace* place = PlaceOf(item);
    if (!place) return CELL_EMPTY;
    return static_cast<CellState>(column == QM_COLUMN_HASH ? place->hashCell : place->verifyCell);
}

bool CQmListModel::SetCellState(const CQmQuorviaItem* item, int column, CellState state) {
    RowPlace* place = PlaceOf(item);
    if (!place || (column != QM_COLUMN_HASH && column != QM_COLUMN_VERIFY)) return false;
    const uint64_t key = ErrorKey(item->GetViewId(), column);
    if (state == CELL_RESULT && !item->GetError().empty()) {
        state = CELL_ERROR;
        errorTexts_[key] = item->GetError();
    } else if (state == CELL_ERROR) {
        // Only a result can bring an error text with it.
        state = CELL_RESULT;
        errorTexts_.erase(key);
    } else {
        errorTexts_.erase(key);
    }
    if (column == QM_COLUMN_HASH) {
        place->hashCell = state;
        MarkChanged(RUN_HASH, place->group, place->row);
    } else {
        place->verifyCell = state;
        MarkChanged(RUN_VERIFY, place->group, place->row);
    }
    return true;
}

void CQmListModel::MarkSizeAndTimeChanged(const CQmQuorviaItem* item) {
    if (const RowPlace* place = PlaceOf(item)) MarkChanged(RUN_SIZE_TIME, place->group, place->row);
}

void CQmListModel::ClearVerifyColumnOfParticipants() {
    for (size_t g = 0; g < groups_.size(); ++g) {
        const std::vector<CQmQuorviaItem*>& rows = groups_[g].rows;
        for (size_t r = 0; r < rows.size(); ++r) {
            const CQmQuorviaItem* item = rows[r];
            RowPlace& place = places_[static_cast<size_t>(item->GetViewId() - 1)];
            if (!item->IsSelected() || place.verifyCell == CELL_EMPTY) continue;
            place.verifyCell = CELL_EMPTY;
            errorTexts_.erase(ErrorKey(item->GetViewId(), QM_COLUMN_VERIFY));
            MarkChanged(RUN_VERIFY, static_cast<uint32_t>(g), static_cast<uint32_t>(r));
        }
    }
    FlushChanges();
}

void CQmListModel::MarkChanged(int run, uint32_t group, uint32_t row) {
    PendingRun& pending = pending_[run];
    if (pending.active && pending.group == group) {
        if (row >= pending.firstRow && row <= pending.lastRow) return;
        if (row == pending.lastRow + 1) {
            pending.lastRow = row;
            return;
        }
        if (row + 1 == pending.firstRow) {
            pending.firstRow = row;
            return;
        }
    }
    EmitRun(run);
    pending = {true, group, row, row};
}

void CQmListModel::EmitRun(int run) {
    PendingRun& pending = pending_[run];
    if (!pending.active) return;
    pending.active = false;
    int first = QM_COLUMN_SIZE;
    int last = QM_COLUMN_TIME;
    if (run == RUN_HASH) first = last = QM_COLUMN_HASH;
    if (run == RUN_VERIFY) first = last = QM_COLUMN_VERIFY;
    Changed({QmListChange::CellsChanged, pending.group, pending.firstRow, pending.lastRow, first, last});
}

void CQmListModel::FlushChanges() {
    for (int run = 0; run < RUN_COUNT; ++run) EmitRun(run);
}

// --- Sorting -----------------------------------------------------------------

void CQmListModel::SortByColumn(int column) {
    if (column >= kListColumnCount) return;
    bool ascending = sortAscending_;
    if (column < 0) {
        column = sortColumn_ < 0 ? 0 : sortColumn_;
    } else {
        ascending = column != sortColumn_ || !sortAscending_;
    }
    sortColumn_ = column;
    sortAscending_ = ascending;
    Sort(column, ascending);
}

void CQmListModel::Sort(int column, bool ascending) {
    FlushChanges();
    const QmListChange change{QmListChange::LayoutChanged};
    Changing(change);
    // Groups never mix, so each is sorted alone and the keys of only one
    // group exist at a time.
    CQmRowSortKeys keys;
    std::vector<uint32_t> order;
    std::vector<uint64_t> lengths;
    std::vector<size_t> ids;
    std::vector<CQmQuorviaItem*> sorted;
    for (Group& group : groups_) {
        std::vector<CQmQuorviaItem*>& rows = group.rows;
        const size_t count = rows.size();
        if (count < 2) continue;
        order.resize(count);
        std::iota(order.begin(), order.end(), 0u);
        if (column == QM_COLUMN_SIZE) {
            lengths.resize(count);
            for (size_t i = 0; i < count; ++i) lengths[i] = rows[i]->GetLength();
            std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
                const int result = CompareRowLengths(lengths[a], lengths[b]);
                return ascending ? result < 0 : result > 0;
            });
        } else if (column == QM_COLUMN_NAME) {
            ids.resize(count);
            for (size_t i = 0; i < count; ++i) ids[i] = static_cast<size_t>(rows[i]->GetViewId() - 1);
            std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
                const int result = nameKeys_.Compare(ids[a], ids[b]);
                return ascending ? result < 0 : result > 0;
            });
        } else {
            keys.Clear();
            keys.Reserve(count);
            for (CQmQuorviaItem* item : rows) keys.Add(CellText(item, column));
            std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
                const int result = keys.Compare(a, b);
                return ascending ? result < 0 : result > 0;
            });
        }
        sorted.resize(count);
        for (size_t i = 0; i < count; ++i) sorted[i] = rows[order[i]];
        rows.swap(sorted);
        for (size_t i = 0; i < count; ++i) {
            places_[static_cast<size_t>(rows[i]->GetViewId() - 1)].row = static_cast<uint32_t>(i);
        }
    }
    Changed(change);
}

// --- Folding -----------------------------------------------------------------

void CQmListModel::SetFolded(uint32_t group, bool folded) {
    if (group >= groups_.size() || groups_[group].folded == folded) return;
    const QmListChange change{QmListChange::FoldChanged, group};
    Changing(change);
    groups_[group].folded = folded;
    InvalidateFlat(group + 1);
    Changed(change);
}

void CQmListModel::SetAllFolded(bool folded) {
    const bool any = std::any_of(groups_.begin(), groups_.end(), [folded](const Group& g) { return g.folded != folded; });
    if (!any) return;
    const QmListChange change{QmListChange::FoldChanged, QmListChange::kAllGroups};
    Changing(change);
    for (Group& group : groups_) group.folded = folded;
    InvalidateFlat(0);
    Changed(change);
}

// --- The row selection -------------------------------------------------------

void CQmListModel::SetSelectedBit(RowPlace& place, bool selected) {
    if (place.selected == selected) return;
    place.selected = selected;
    if (selected) {
        ++selectedCount_;
    } else {
        --selectedCount_;
    }
}

bool CQmListModel::IsRowSelected(const CQmQuorviaItem* item) const {
    const RowPlace* place = PlaceOf(item);
    return place && place->selected;
}

void CQmListModel::SetRowSelected(const CQmQuorviaItem* item, bool selected) {
    if (RowPlace* place = PlaceOf(item)) SetSelectedBit(*place, selected);
}

void CQmListModel::SetRowsSelected(uint32_t group, uint32_t first, uint32_t last, bool selected) {
    if (group >= groups_.size()) return;
    const auto count = static_cast<uint32_t>(groups_[group].rows.size());
    for (uint32_t row = first; row <= last && row < count; ++row) SetSelectedBit(PlaceAt(group, row), selected);
}

void CQmListModel::ClearRowSelectionQuietly() {
    if (selectedCount_ == 0) return;
    for (RowPlace& place : places_) place.selected = false;
    selectedCount_ = 0;
}

void CQmListModel::SelectAllRows() {
    const QmListChange change{QmListChange::SelectionChanged};
    Changing(change);
    for (RowPlace& place : places_) place.selected = place.group != kNoGroup;
    selectedCount_ = fileCount_;
    Changed(change);
}

void CQmListModel::SelectOnly(const CQmQuorviaItem* item) {
    const QmListChange change{QmListChange::SelectionChanged};
    Changing(change);
    ClearRowSelectionQuietly();
    SetRowSelected(item, true);
    Changed(change);
}

void CQmListModel::ClearRowSelection() {
    const QmListChange change{QmListChange::SelectionChanged};
    Changing(change);
    ClearRowSelectionQuietly();
    Changed(change);
}

std::vector<CQmQuorviaItem*> CQmListModel::GetSelectedItems() const {
    std::vector<CQmQuorviaItem*> items;
    if (selectedCount_ == 0) return items;
    items.reserve(selectedCount_);
    for (const Group& group : groups_) {
        for (CQmQuorviaItem* item : group.rows) {
            if (places_[static_cast<size_t>(item->GetViewId() - 1)].selected) items.push_back(item);
        }
    }
    return items;
}

std::vector<CQmListModel::RowRun> CQmListModel::GetSelectedRuns() const {
    std::vector<RowRun> runs;
    if (selectedCount_ == 0) return runs;
    for (uint32_t g = 0; g < groups_.size(); ++g) {
        const std::vector<CQmQuorviaItem*>& rows = groups_[g].rows;
        for (uint32_t r = 0; r < rows.size(); ++r) {
            if (!places_[static_cast<size_t>(rows[r]->GetViewId() - 1)].selected) continue;
            if (!runs.empty() && runs.back().group == g && runs.back().last + 1 == r) {
                runs.back().last = r;
            } else {
                runs.push_back({g, r, r});
            }
        }
    }
    return runs;
}

// --- Removal -----------------------------------------------------------------

size_t CQmListModel::RemoveItemRows(std::span<const CQmQuorviaItem* const> items) {
    std::vector<std::pair<uint32_t, uint32_t>> doomed;  // (group, row)
    doomed.reserve(items.size());
    for (const CQmQuorviaItem* item : items) {
        if (const RowPlace* place = PlaceOf(item)) doomed.emplace_back(place->group, place->row);
    }
    if (doomed.empty()) return 0;
    FlushChanges();
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());

    // Within a group the runs go from the last up, so the rows of the runs
    // still to remove keep their numbers; the group's rows are numbered
    // anew once, after its last run.
    size_t end = doomed.size();
    while (end > 0) {
        const uint32_t group = doomed[end - 1].first;
        std::vector<CQmQuorviaItem*>& rows = groups_[group].rows;
        uint32_t lowest = doomed[end - 1].second;
        while (end > 0 && doomed[end - 1].first == group) {
            size_t first = end - 1;
            while (first > 0 && doomed[first - 1].first == group &&
                   doomed[first - 1].second + 1 == doomed[first].second) {
                --first;
            }
            const uint32_t top = doomed[first].second;
            const uint32_t bottom = doomed[end - 1].second;
            const QmListChange change{QmListChange::RowsRemoved, group, top, bottom};
            Changing(change);
            for (uint32_t row = top; row <= bottom; ++row) {
                const int32_t id = rows[row]->GetViewId();
                RowPlace& place = places_[static_cast<size_t>(id - 1)];
                SetSelectedBit(place, false);
                place.group = kNoGroup;
                errorTexts_.erase(ErrorKey(id, QM_COLUMN_HASH));
                errorTexts_.erase(ErrorKey(id, QM_COLUMN_VERIFY));
            }
            rows.erase(rows.begin() + top, rows.begin() + bottom + 1);
            fileCount_ -= bottom - top + 1;
            InvalidateFlat(group + 1);
            Changed(change);
            lowest = top;
            end = first;
        }
        for (size_t i = lowest; i < rows.size(); ++i) {
            places_[static_cast<size_t>(rows[i]->GetViewId() - 1)].row = static_cast<uint32_t>(i);
        }
    }
    return doomed.size();
}

}  // namespace qm
