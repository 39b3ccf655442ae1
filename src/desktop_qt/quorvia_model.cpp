// The file list's model: directory groups of document items.
#include "desktop_qt/quorvia_model.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include <QIcon>

#include "common/formatting.h"
#include "common/path_util.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "engines/hash_text.h"
#include "desktop_qt/icon_cache.h"
#include "document/row_sort_keys.h"

namespace qm {

namespace {

constexpr int kColumnCount = 5;
// A group row's internal id is 0; a file row's names its group. Qt hashes
// an index as (row << 4) + column + internal id, so ids 1, 2, 3 … would put
// the persistent indexes of a large selection (a million while a sort moves
// them) into one narrow band of Qt's open-addressing table, and each lookup
// would walk the whole band. Multiplying by an odd constant spreads the
// groups over the whole range and is undone by its inverse modulo 2^64.
constexpr quintptr kGroupRowId = 0;
constexpr quintptr kIdSpread = 0x9E3779B97F4A7C15ull;
constexpr quintptr InverseOf(quintptr odd) {
    quintptr inverse = odd;  // correct to 3 bits; each step doubles that
    for (int i = 0; i < 5; ++i) inverse *= 2 - odd * inverse;
    return inverse;
}
constexpr quintptr kIdSpreadInverse = InverseOf(kIdSpread);
static_assert(sizeof(quintptr) == 8 && kIdSpread * kIdSpreadInverse == 1);

constexpr quintptr FileRowId(size_t group) { return static_cast<quintptr>(group + 1) * kIdSpread; }
constexpr size_t GroupOfFileRow(quintptr id) { return static_cast<size_t>(id * kIdSpreadInverse) - 1; }
// The group of a view id whose row was removed.
constexpr uint32_t kNoGroup = std::numeric_limits<uint32_t>::max();

const char16_t* const kColumnTitles[kColumnCount] = {u"文件名", u"大小", u"修改日期", u"文件HASH", u"文件验证信息"};

constexpr std::u16string_view kReadingText = u"正在计算中...";
constexpr std::u16string_view kVerifiedText = u"文件检查正确";

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// The alignment as a plain int: the item delegate reads the role as one.
QVariant RightAligned() { return QVariant(static_cast<int>(Qt::AlignRight | Qt::AlignVCenter)); }

}  // namespace

CQmQuorviaModel::CQmQuorviaModel(CQmQuorviaDoc& doc, QObject* parent)
    : QAbstractItemModel(parent), doc_(doc), hashTitle_(ToQString(kColumnTitles[QM_COLUMN_HASH])) {}

QModelIndex CQmQuorviaModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount) return QModelIndex();
    if (!parent.isValid()) {
        if (row >= static_cast<int>(groups_.size())) return QModelIndex();
        return createIndex(row, column, kGroupRowId);
    }
    if (parent.model() != this || parent.internalId() != kGroupRowId || parent.column() != 0) return QModelIndex();
    const auto group = static_cast<size_t>(parent.row());
    if (group >= groups_.size() || row >= static_cast<int>(groups_[group].rows.size())) return QModelIndex();
    return createIndex(row, column, FileRowId(group));
}

QModelIndex CQmQuorviaModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kGroupRowId) return QModelIndex();
    return createIndex(static_cast<int>(GroupOfFileRow(child.internalId())), 0, kGroupRowId);
}

int CQmQuorviaModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(groups_.size());
    if (parent.internalId() != kGroupRowId || parent.column() != 0) return 0;
    return static_cast<int>(groups_[static_cast<size_t>(parent.row())].rows.size());
}

int CQmQuorviaModel::columnCount(const QModelIndex&) const { return kColumnCount; }

Qt::ItemFlags CQmQuorviaModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (index.internalId() == kGroupRowId) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

CQmQuorviaItem* CQmQuorviaModel::ItemAt(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.internalId() == kGroupRowId) return nullptr;
    const Group& group = groups_[GroupOfFileRow(index.internalId())];
    return group.rows[static_cast<size_t>(index.row())];
}

QModelIndex CQmQuorviaModel::GroupIndex(int group) const {
    if (group < 0 || group >= static_cast<int>(groups_.size())) return QModelIndex();
    return createIndex(group, 0, kGroupRowId);
}

uint64_t CQmQuorviaModel::ErrorKey(int32_t viewId, int column) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(viewId)) << 1) | (column == QM_COLUMN_VERIFY ? 1u : 0u);
}

std::u16string CQmQuorviaModel::CellText(const CQmQuorviaItem* item, int column) const {
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

QVariant CQmQuorviaModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this) return QVariant();
    if (index.internalId() == kGroupRowId) {
        if (index.column() != 0) return QVariant();
        if (role == Qt::DisplayRole) return ToQString(groups_[static_cast<size_t>(index.row())].dir);
        if (role == Qt::DecorationRole) return GetIconList().GetIcon(0);
        return QVariant();
    }
    const CQmQuorviaItem* item = ItemAt(index);
    switch (role) {
    case Qt::DisplayRole: return ToQString(CellText(item, index.column()));
    case Qt::DecorationRole:
        if (index.column() == QM_COLUMN_NAME) return GetIconList().GetIcon(item->GetIconIndex());
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == QM_COLUMN_SIZE) return RightAligned();
        return QVariant();
    default: return QVariant();
    }
}

QVariant CQmQuorviaModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return QVariant();
    if (role == Qt::DisplayRole) return section == QM_COLUMN_HASH ? hashTitle_ : ToQString(kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole && section == QM_COLUMN_SIZE) return RightAligned();
    return QVariant();
}

void CQmQuorviaModel::Reset() {
    beginResetModel();
    for (PendingRun& run : pending_) run.active = false;
    groups_.clear();
    groupOfDir_.clear();
    places_.clear();
    nameKeys_.Clear();
    errorTexts_.clear();
    fileCount_ = 0;
    endResetModel();
}

void CQmQuorviaModel::SetHashTitle(const QString& title) {
    if (title == hashTitle_) return;
    hashTitle_ = title;
    emit headerDataChanged(Qt::Horizontal, QM_COLUMN_HASH, QM_COLUMN_HASH);
}

void CQmQuorviaModel::AppendItems(std::span<CQmQuorviaItem* const> items) {
    size_t pos = 0;
    while (pos < items.size()) {
        std::u16string dir = PathRemoveFileSpec(items[pos]->GetPath());
        auto found = groupOfDir_.find(dir);
        uint32_t group;
        if (found == groupOfDir_.end()) {
            group = static_cast<uint32_t>(groups_.size());
            beginInsertRows(QModelIndex(), static_cast<int>(group), static_cast<int>(group));
            groups_.push_back({dir, {}});
            groupOfDir_.emplace(std::move(dir), group);
            endInsertRows();
        } else {
            group = found->second;
        }
        // The run of following items of the same directory goes in at once.
        const std::u16string& groupDir = groups_[group].dir;
        size_t end = pos + 1;
        while (end < items.size() && PathFindDirectory(items[end]->GetPath()) == groupDir) ++end;

        std::vector<CQmQuorviaItem*>& rows = groups_[group].rows;
        const int first = static_cast<int>(rows.size());
        beginInsertRows(GroupIndex(static_cast<int>(group)), first, first + static_cast<int>(end - pos) - 1);
        for (size_t i = pos; i < end; ++i) {
            CQmQuorviaItem* item = items[i];
            places_.push_back({group, static_cast<uint32_t>(rows.size()), CELL_EMPTY, CELL_EMPTY});
            nameKeys_.Add(PathFindFileName(item->GetPath()));
            item->SetViewId(static_cast<int32_t>(places_.size()));
            rows.push_back(item);
        }
        fileCount_ += static_cast<int>(end - pos);
        endInsertRows();
        pos = end;
    }
}

CQmQuorviaModel::RowPlace* CQmQuorviaModel::PlaceOf(const CQmQuorviaItem* item) {
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

const CQmQuorviaModel::RowPlace* CQmQuorviaModel::PlaceOf(const CQmQuorviaItem* item) const {
    return const_cast<CQmQuorviaModel*>(this)->PlaceOf(item);
}

QModelIndex CQmQuorviaModel::IndexOfItem(const CQmQuorviaItem* item, int column) const {
    const RowPlace* place = PlaceOf(item);
    if (!place || column < 0 || column >= kColumnCount) return QModelIndex();
    return createIndex(static_cast<int>(place->row), column, FileRowId(place->group));
}

CQmQuorviaModel::CellState CQmQuorviaModel::GetCellState(const CQmQuorviaItem* item, int column) const {
    const RowPlace* place = PlaceOf(item);
    if (!place) return CELL_EMPTY;
    return static_cast<CellState>(column == QM_COLUMN_HASH ? place->hashCell : place->verifyCell);
}

bool CQmQuorviaModel::SetCellState(const CQmQuorviaItem* item, int column, CellState state) {
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

void CQmQuorviaModel::MarkSizeAndTimeChanged(const CQmQuorviaItem* item) {
    if (const RowPlace* place = PlaceOf(item)) MarkChanged(RUN_SIZE_TIME, place->group, place->row);
}

void CQmQuorviaModel::ClearVerifyColumnOfSelected() {
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

void CQmQuorviaModel::MarkChanged(int run, uint32_t group, uint32_t row) {
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

void CQmQuorviaModel::EmitRun(int run) {
    PendingRun& pending = pending_[run];
    if (!pending.active) return;
    pending.active = false;
    int first = QM_COLUMN_SIZE;
    int last = QM_COLUMN_TIME;
    if (run == RUN_HASH) first = last = QM_COLUMN_HASH;
    if (run == RUN_VERIFY) first = last = QM_COLUMN_VERIFY;
    const quintptr id = FileRowId(pending.group);
    emit dataChanged(createIndex(static_cast<int>(pending.firstRow), first, id),
                     createIndex(static_cast<int>(pending.lastRow), last, id), {Qt::DisplayRole});
}

void CQmQuorviaModel::FlushChanges() {
    for (int run = 0; run < RUN_COUNT; ++run) EmitRun(run);
}

void CQmQuorviaModel::Sort(int column, bool ascending) {
    FlushChanges();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes (selection, current row, expanded groups) follow
    // their items to the new rows; remember which item each one stands on.
    const QModelIndexList before = persistentIndexList();
    std::vector<const CQmQuorviaItem*> itemsBefore(static_cast<size_t>(before.size()));
    for (qsizetype i = 0; i < before.size(); ++i) itemsBefore[static_cast<size_t>(i)] = ItemAt(before[i]);

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

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const CQmQuorviaItem* item = itemsBefore[static_cast<size_t>(i)];
        after.push_back(item ? IndexOfItem(item, before[i].column()) : before[i]);
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

size_t CQmQuorviaModel::RemoveItemRows(std::span<const CQmQuorviaItem* const> items) {
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
            beginRemoveRows(GroupIndex(static_cast<int>(group)), static_cast<int>(top), static_cast<int>(bottom));
            for (uint32_t row = top; row <= bottom; ++row) {
                const int32_t id = rows[row]->GetViewId();
                places_[static_cast<size_t>(id - 1)].group = kNoGroup;
                errorTexts_.erase(ErrorKey(id, QM_COLUMN_HASH));
                errorTexts_.erase(ErrorKey(id, QM_COLUMN_VERIFY));
            }
            rows.erase(rows.begin() + top, rows.begin() + bottom + 1);
            fileCount_ -= static_cast<int>(bottom - top + 1);
            endRemoveRows();
            lowest = top;
            end = first;
        }
        for (size_t i = lowest; i < rows.size(); ++i) {
            places_[static_cast<size_t>(rows[i]->GetViewId() - 1)].row = static_cast<uint32_t>(i);
        }
    }
    return doomed.size();
}

std::vector<CQmQuorviaItem*> CQmQuorviaModel::ItemsInRowOrder() const {
    std::vector<CQmQuorviaItem*> items;
    items.reserve(static_cast<size_t>(fileCount_));
    for (const Group& group : groups_) items.insert(items.end(), group.rows.begin(), group.rows.end());
    return items;
}

}  // namespace qm
