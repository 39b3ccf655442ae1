// The file list's list model as a Qt item model (see quorvia_model.h).
#include "desktop_qt/quorvia_model.h"

#include <QIcon>

#include "desktop_qt/icon_cache.h"
#include "document/quorvia_item.h"

namespace qm {

namespace {

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

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// The alignment as a plain int: the item delegate reads the role as one.
QVariant RightAligned() { return QVariant(static_cast<int>(Qt::AlignRight | Qt::AlignVCenter)); }

}  // namespace

CQmQuorviaModel::CQmQuorviaModel(CQmListModel& list, QObject* parent) : QAbstractItemModel(parent), list_(list) {
    list_.SetObserver(this);
}

CQmQuorviaModel::~CQmQuorviaModel() { list_.SetObserver(nullptr); }

QModelIndex CQmQuorviaModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kListColumnCount) return QModelIndex();
    if (!parent.isValid()) {
        if (row >= GetGroupCount()) return QModelIndex();
        return createIndex(row, column, kGroupRowId);
    }
    if (parent.model() != this || parent.internalId() != kGroupRowId || parent.column() != 0) return QModelIndex();
    const auto group = static_cast<uint32_t>(parent.row());
    if (group >= list_.GetGroupCount() || row >= static_cast<int>(list_.GetRowCount(group))) return QModelIndex();
    return createIndex(row, column, FileRowId(group));
}

QModelIndex CQmQuorviaModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kGroupRowId) return QModelIndex();
    return createIndex(static_cast<int>(GroupOfFileRow(child.internalId())), 0, kGroupRowId);
}

int CQmQuorviaModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return GetGroupCount();
    if (parent.internalId() != kGroupRowId || parent.column() != 0) return 0;
    return static_cast<int>(list_.GetRowCount(static_cast<uint32_t>(parent.row())));
}

int CQmQuorviaModel::columnCount(const QModelIndex&) const { return kListColumnCount; }

Qt::ItemFlags CQmQuorviaModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (index.internalId() == kGroupRowId) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool CQmQuorviaModel::RowOf(const QModelIndex& index, QmListRow& row) const {
    if (!index.isValid() || index.model() != this) return false;
    if (index.internalId() == kGroupRowId) {
        row = {static_cast<uint32_t>(index.row()), QmListRow::kHeader};
    } else {
        row = {static_cast<uint32_t>(GroupOfFileRow(index.internalId())), static_cast<uint32_t>(index.row())};
    }
    return true;
}

CQmQuorviaItem* CQmQuorviaModel::ItemAt(const QModelIndex& index) const {
    QmListRow row;
    return RowOf(index, row) ? list_.ItemAt(row) : nullptr;
}

QModelIndex CQmQuorviaModel::GroupIndex(int group) const {
    if (group < 0 || group >= GetGroupCount()) return QModelIndex();
    return createIndex(group, 0, kGroupRowId);
}

QModelIndex CQmQuorviaModel::IndexOfItem(const CQmQuorviaItem* item, int column) const {
    QmListRow row;
    if (!list_.FindRow(item, row) || column < 0 || column >= kListColumnCount) return QModelIndex();
    return createIndex(static_cast<int>(row.row), column, FileRowId(row.group));
}

QVariant CQmQuorviaModel::data(const QModelIndex& index, int role) const {
    QmListRow row;
    if (!RowOf(index, row)) return QVariant();
    if (row.IsHeader()) {
        if (index.column() != 0) return QVariant();
        if (role == Qt::DisplayRole) return ToQString(list_.GetGroupDirectory(row.group));
        if (role == Qt::DecorationRole) return GetIconList().GetIcon(0);
        return QVariant();
    }
    const CQmQuorviaItem* item = list_.ItemAt(row);
    if (!item) return QVariant();
    switch (role) {
    case Qt::DisplayRole: return ToQString(list_.CellText(item, index.column()));
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
    if (orientation != Qt::Horizontal || section < 0 || section >= kListColumnCount) return QVariant();
    if (role == Qt::DisplayRole) {
        return ToQString(section == QM_COLUMN_HASH ? std::u16string_view(list_.GetHashTitle())
                                                   : GetListColumnTitle(section));
    }
    if (role == Qt::TextAlignmentRole && section == QM_COLUMN_SIZE) return RightAligned();
    return QVariant();
}

void CQmQuorviaModel::OnListChanging(const QmListChange& change) {
    switch (change.kind) {
    case QmListChange::Reset:
        beginResetModel();
        break;
    case QmListChange::GroupsInserted:
        beginInsertRows(QModelIndex(), static_cast<int>(change.first), static_cast<int>(change.last));
        break;
    case QmListChange::RowsInserted:
        beginInsertRows(GroupIndex(static_cast<int>(change.group)), static_cast<int>(change.first),
                        static_cast<int>(change.last));
        break;
    case QmListChange::RowsRemoved:
        beginRemoveRows(GroupIndex(static_cast<int>(change.group)), static_cast<int>(change.first),
                        static_cast<int>(change.last));
        break;
    case QmListChange::LayoutChanged: {
        emit aboutToRearrange();
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        // Persistent indexes (the current row, expanded groups, what is left
        // of a selection) follow their items to the new rows; remember which
        // item each one stands on.
        persistentBefore_ = persistentIndexList();
        itemsBefore_.resize(static_cast<size_t>(persistentBefore_.size()));
        for (qsizetype i = 0; i < persistentBefore_.size(); ++i) {
            itemsBefore_[static_cast<size_t>(i)] = ItemAt(persistentBefore_[i]);
        }
        break;
    }
    default:
        break;
    }
}

void CQmQuorviaModel::OnListChanged(const QmListChange& change) {
    switch (change.kind) {
    case QmListChange::Reset:
        endResetModel();
        break;
    case QmListChange::GroupsInserted:
    case QmListChange::RowsInserted:
        endInsertRows();
        break;
    case QmListChange::RowsRemoved:
        endRemoveRows();
        break;
    case QmListChange::CellsChanged: {
        const quintptr id = FileRowId(change.group);
        emit dataChanged(createIndex(static_cast<int>(change.first), change.firstColumn, id),
                         createIndex(static_cast<int>(change.last), change.lastColumn, id), {Qt::DisplayRole});
        break;
    }
    case QmListChange::LayoutChanged: {
        QModelIndexList after;
        after.reserve(persistentBefore_.size());
        for (qsizetype i = 0; i < persistentBefore_.size(); ++i) {
            const CQmQuorviaItem* item = itemsBefore_[static_cast<size_t>(i)];
            after.push_back(item ? IndexOfItem(item, persistentBefore_[i].column()) : persistentBefore_[i]);
        }
        changePersistentIndexList(persistentBefore_, after);
        persistentBefore_.clear();
        itemsBefore_.clear();
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        emit rearranged();
        break;
    }
    case QmListChange::FoldChanged:
        emit foldChanged(change.group == QmListChange::kAllGroups ? -1 : static_cast<int>(change.group));
        break;
    case QmListChange::SelectionChanged:
        emit selectionReplaced();
        break;
    case QmListChange::TitleChanged:
        emit headerDataChanged(Qt::Horizontal, QM_COLUMN_HASH, QM_COLUMN_HASH);
        break;
    }
}

}  // namespace qm
