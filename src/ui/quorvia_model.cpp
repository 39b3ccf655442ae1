// The file list's model: directory groups of document items.
#include "ui/quorvia_model.h"

#include <algorithm>
#include <numeric>

#include <QIcon>

#include "common/formatting.h"
#include "common/path_util.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "engines/hash_text.h"
#include "ui/icon_cache.h"

namespace qm {

namespace {

constexpr int kColumnCount = 5;
// A group row's internal id; a file row's is its group number + 1.
constexpr quintptr kGroupRowId = 0;

const char16_t* const kColumnTitles[kColumnCount] = {u"文件名", u"大小", u"修改日期", u"文件HASH", u"文件验证信息"};

constexpr std::u16string_view kReadingText = u"正在计算中...";
constexpr std::u16string_view kVerifiedText = u"文件检查正确";
constexpr std::u16string_view kNewHashText = u"新文件HASH值:";

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

}  // namespace

CQmQuorviaModel::CQmQuorviaModel(CQmQuorviaDoc& doc, QObject* parent)
    : QAbstractItemModel(parent), doc_(doc), hashTitle_(ToQString(kColumnTitles[QM_COLUMN_HASH])) {}

QModelIndex CQmQuorviaModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount) return QModelIndex();
    if (!parent.isValid()) {
        if (row >= static_cast<int>(groups_.size())) return QModelIndex();
        return createIndex(row, column, kGroupRowId);
    }
    if (parent.internalId() != kGroupRowId || parent.column() != 0) return QModelIndex();
    const auto group = static_cast<size_t>(parent.row());
    if (group >= groups_.size() || row >= static_cast<int>(groups_[group].rows.size())) return QModelIndex();
    return createIndex(row, column, static_cast<quintptr>(group + 1));
}

QModelIndex CQmQuorviaModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kGroupRowId) return QModelIndex();
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kGroupRowId);
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
    if (!index.isValid() || index.internalId() == kGroupRowId) return nullptr;
    const Group& group = groups_[static_cast<size_t>(index.internalId() - 1)];
    return group.rows[static_cast<size_t>(index.row())];
}

std::u16string CQmQuorviaModel::CellText(const CQmQuorviaItem* item, int column) const {
    switch (column) {
    case QM_COLUMN_NAME: return std::u16string(PathFindFileName(item->GetPath()));
    case QM_COLUMN_SIZE: return StrFormatByteSize(item->GetLength());
    case QM_COLUMN_TIME: {
        const uint64_t time = item->GetLastWriteTime();
        return time == 0 ? std::u16string(u"-") : FormatFileTime(time, true);
    }
    default: break;
    }
    const RowPlace* place = PlaceOf(item);
    if (!place) return {};
    const uint8_t state = column == QM_COLUMN_HASH ? place->hashCell : place->verifyCell;
    if (state == CELL_EMPTY) return {};
    if (state == CELL_READING) return std::u16string(kReadingText);
    const auto size = static_cast<uint32_t>(doc_.GetDigestSize());
    std::u16string text;
    if (column == QM_COLUMN_HASH) {
        auto error = hashErrors_.find(item->GetViewId());
        if (error != hashErrors_.end()) return error->second;
        GetHashValueText(doc_.GetAlgorithm(), item->GetHash(), size, text);
        return text;
    }
    if (!item->GetError().empty()) return item->GetError();
    if (item->VerifyMatches(size)) return std::u16string(kVerifiedText);
    GetHashValueText(doc_.GetAlgorithm(), item->GetVerifyHash(), size, text);
    return std::u16string(kNewHashText) + text;
}

QVariant CQmQuorviaModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
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
        if (index.column() == QM_COLUMN_SIZE) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default: return QVariant();
    }
}

QVariant CQmQuorviaModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return QVariant();
    if (role == Qt::DisplayRole) return section == QM_COLUMN_HASH ? hashTitle_ : ToQString(kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole && section == QM_COLUMN_SIZE) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return QVariant();
}

void CQmQuorviaModel::Reset() {
    beginResetModel();
    groups_.clear();
    groupOfDir_.clear();
    rowOfId_.clear();
    hashErrors_.clear();
    endResetModel();
}

void CQmQuorviaModel::SetHashTitle(const QString& title) {
    hashTitle_ = title;
    emit headerDataChanged(Qt::Horizontal, QM_COLUMN_HASH, QM_COLUMN_HASH);
}

void CQmQuorviaModel::AppendItems(const std::vector<CQmQuorviaItem*>& items) {
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
        // The run of following items in the same directory goes in at once.
        const std::u16string& groupDir = groups_[group].dir;
        size_t end = pos + 1;
        while (end < items.size() && PathRemoveFileSpec(items[end]->GetPath()) == groupDir) ++end;

        std::vector<CQmQuorviaItem*>& rows = groups_[group].rows;
        const int first = static_cast<int>(rows.size());
        beginInsertRows(createIndex(static_cast<int>(group), 0, kGroupRowId), first,
                        first + static_cast<int>(end - pos) - 1);
        for (size_t i = pos; i < end; ++i) {
            CQmQuorviaItem* item = items[i];
            rowOfId_.push_back({group, static_cast<uint32_t>(rows.size()), CELL_EMPTY, CELL_EMPTY});
            item->SetViewId(static_cast<int32_t>(rowOfId_.size()));
            rows.push_back(item);
        }
        endInsertRows();
        pos = end;
    }
}

CQmQuorviaModel::RowPlace* CQmQuorviaModel::PlaceOf(const CQmQuorviaItem* item) {
    const int32_t id = item->GetViewId();
    if (id <= 0 || static_cast<size_t>(id) > rowOfId_.size()) return nullptr;
    RowPlace& place = rowOfId_[static_cast<size_t>(id - 1)];
    // An item of an earlier document may carry an id that is now another
    // row's; only the row that points back at the item is its row.
    if (groups_[place.group].rows[place.row] != item) return nullptr;
    return &place;
}

const CQmQuorviaModel::RowPlace* CQmQuorviaModel::PlaceOf(const CQmQuorviaItem* item) const {
    return const_cast<CQmQuorviaModel*>(this)->PlaceOf(item);
}

QModelIndex CQmQuorviaModel::IndexOfItem(const CQmQuorviaItem* item, int column) const {
    const RowPlace* place = PlaceOf(item);
    if (!place) return QModelIndex();
    return createIndex(static_cast<int>(place->row), column, static_cast<quintptr>(place->group + 1));
}

void CQmQuorviaModel::SetCellState(const CQmQuorviaItem* item, int column, CellState state) {
    RowPlace* place = PlaceOf(item);
    if (!place) return;
    if (column == QM_COLUMN_HASH) {
        place->hashCell = state;
        if (state == CELL_RESULT && !item->GetError().empty()) {
            hashErrors_[item->GetViewId()] = item->GetError();
        } else {
            hashErrors_.erase(item->GetViewId());
        }
    } else {
        place->verifyCell = state;
    }
    const QModelIndex cell = IndexOfItem(item, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void CQmQuorviaModel::RefreshSizeAndTime(const CQmQuorviaItem* item) {
    const QModelIndex first = IndexOfItem(item, QM_COLUMN_SIZE);
    if (!first.isValid()) return;
    emit dataChanged(first, IndexOfItem(item, QM_COLUMN_TIME), {Qt::DisplayRole});
}

void CQmQuorviaModel::ClearVerifyColumnOfSelected() {
    for (size_t g = 0; g < groups_.size(); ++g) {
        std::vector<CQmQuorviaItem*>& rows = groups_[g].rows;
        // One announcement per run of cleared rows.
        size_t r = 0;
        while (r < rows.size()) {
            if (!rows[r]->IsSelected() || rowOfId_[static_cast<size_t>(rows[r]->GetViewId() - 1)].verifyCell == CELL_EMPTY) {
                ++r;
                continue;
            }
            const size_t first = r;
            while (r < rows.size() && rows[r]->IsSelected()) {
                rowOfId_[static_cast<size_t>(rows[r]->GetViewId() - 1)].verifyCell = CELL_EMPTY;
                ++r;
            }
            emit dataChanged(createIndex(static_cast<int>(first), QM_COLUMN_VERIFY, static_cast<quintptr>(g + 1)),
                             createIndex(static_cast<int>(r - 1), QM_COLUMN_VERIFY, static_cast<quintptr>(g + 1)),
                             {Qt::DisplayRole});
        }
    }
}

void CQmQuorviaModel::Sort(int column, bool ascending) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes (selection, current row, expanded groups) follow
    // their items to the new rows; remember which item each one stands on.
    const QModelIndexList before = persistentIndexList();
    std::vector<const CQmQuorviaItem*> itemsBefore(static_cast<size_t>(before.size()));
    for (qsizetype i = 0; i < before.size(); ++i) itemsBefore[static_cast<size_t>(i)] = ItemAt(before[i]);

    std::vector<std::u16string> texts;
    const CQmRowCollator& collator = GetRowCollator();
    for (Group& group : groups_) {
        std::vector<CQmQuorviaItem*>& rows = group.rows;
        std::vector<uint32_t> order(rows.size());
        std::iota(order.begin(), order.end(), 0u);
        if (column == QM_COLUMN_SIZE) {
            std::vector<uint64_t> lengths(rows.size());
            for (size_t i = 0; i < rows.size(); ++i) lengths[i] = rows[i]->GetLength();
            std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
                const int result = CompareRowLengths(lengths[a], lengths[b]);
                return ascending ? result < 0 : result > 0;
            });
        } else {
            // Each cell's text is made once per sort, not once per comparison.
            texts.resize(rows.size());
            for (size_t i = 0; i < rows.size(); ++i) texts[i] = CellText(rows[i], column);
            std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
                const int result = CompareRowTexts(collator, texts[a], texts[b]);
                return ascending ? result < 0 : result > 0;
            });
        }
        std::vector<CQmQuorviaItem*> sorted(rows.size());
        for (size_t i = 0; i < order.size(); ++i) sorted[i] = rows[order[i]];
        rows = std::move(sorted);
        for (size_t i = 0; i < rows.size(); ++i) {
            rowOfId_[static_cast<size_t>(rows[i]->GetViewId() - 1)].row = static_cast<uint32_t>(i);
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

std::vector<CQmQuorviaItem*> CQmQuorviaModel::ItemsInRowOrder() const {
    std::vector<CQmQuorviaItem*> items;
    items.reserve(rowOfId_.size());
    for (const Group& group : groups_) items.insert(items.end(), group.rows.begin(), group.rows.end());
    return items;
}

}  // namespace qm
