// The file list view (see quorvia_view.h).
#include "desktop_qt/quorvia_view.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include <QContextMenuEvent>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QPalette>
#include <QRegion>
#include <QStyle>

#include "desktop/command_ids.h"
#include "desktop/item_texts.h"
#include "common/error_record.h"
#include "common/path_util.h"
#include "common/user_prompts.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "engines/hash_catalog.h"
#include "engines/hash_object.h"
#include "desktop_qt/clipboard.h"
#include "desktop_qt/find_dlg.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/qt_prompts.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/shell_actions.h"

namespace qm {

namespace {

constexpr int kColumnWidths[] = {280, 100, 140, 320, 400};

// The widest of `characters` in `metrics`, `count` times over: what a cell of
// that many such characters needs in a proportional font.
int WidestRun(const QFontMetrics& metrics, QStringView characters, int count) {
    // Measured as whole runs: fractional advances add up beyond count times
    // one character's rounded width.
    int widest = 0;
    for (const QChar c : characters) widest = std::max(widest, metrics.horizontalAdvance(QString(count, c)));
    return widest;
}

bool ShowsResult(CQmQuorviaModel::CellState state) {
    return state == CQmQuorviaModel::CELL_RESULT || state == CQmQuorviaModel::CELL_ERROR;
}

constexpr std::u16string_view kRemoveQuestion = u"确定删除选定的文件项吗(文件不会被删除)?";

// The file rows in the order shown, as the find search sees them.
class CQmShownRows : public IQmFindRows {
public:
    explicit CQmShownRows(const CQmQuorviaModel& model) : model_(model), items_(model.ItemsInRowOrder()) {}
    size_t GetColumnCount() const override { return static_cast<size_t>(model_.columnCount()); }
    std::u16string GetCellText(size_t row, size_t column) const override {
        return model_.CellText(items_[row], static_cast<int>(column));
    }
    size_t GetRowCount() const { return items_.size(); }
    CQmQuorviaItem* GetItem(size_t row) const { return items_[row]; }

private:
    const CQmQuorviaModel& model_;
    std::vector<CQmQuorviaItem*> items_;
};

}  // namespace

CQuorviaView::CQuorviaView(QWidget* parent) : CQuorviaView(GetQuorviaDoc(), parent) {}

CQuorviaView::CQuorviaView(CQmQuorviaDoc& doc, QWidget* parent) : QTreeView(parent), doc_(doc) { SetUpView(); }

CQuorviaView::~CQuorviaView() = default;

void CQuorviaView::SetUpView() {
    // Group rows show image 0, which must be a folder.
    if (GetIconCount() == 0) GetFileIconIndex(QDir::tempPath().toStdU16String());

    model_ = new CQmQuorviaModel(doc_, this);
    setModel(model_);
    // Assistive technologies see the rows and cells through the view's own
    // table interface; the list itself is named here.
    setAccessibleName(QStringLiteral("文件列表"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);  // sorting follows our own direction rules

    QHeaderView* columns = header();
    columns->setSectionsClickable(true);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSortIndicatorShown(false);
    // The widths suit a compact interface font; where the font is wider,
    // the date, hash and verification columns grow so that a time and a
    // 40-digit digest (MD5's and SHA1's fit whole) are not cut.
    int widths[std::size(kColumnWidths)];
    std::copy(std::begin(kColumnWidths), std::end(kColumnWidths), widths);
    const QFontMetrics metrics(font());
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    widths[QM_COLUMN_TIME] = std::max(widths[QM_COLUMN_TIME],
                                      WidestRun(metrics, u"0123456789", 14) + 5 * metrics.horizontalAdvance(u'-') + padding);
    const int digest = WidestRun(metrics, u"0123456789ABCDEF", 40);
    widths[QM_COLUMN_HASH] = std::max(widths[QM_COLUMN_HASH], digest + padding);
    // A changed file's verification shows the new digest after its label.
    widths[QM_COLUMN_VERIFY] = std::max(widths[QM_COLUMN_VERIFY],
                                        metrics.horizontalAdvance(QString::fromUtf16(kNewHashText.data(), kNewHashText.size())) + digest + padding);
    for (int column = 0; column < static_cast<int>(std::size(widths)); ++column) {
        columns->resizeSection(column, widths[column]);
    }

    // The selection stays as visible when another window has the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);

    addTimer_.setInterval(kViewTickMilliseconds);
    updateTimer_.setInterval(kViewTickMilliseconds);
    connect(&addTimer_, &QTimer::timeout, this, &CQuorviaView::RunAddTick);
    addSlice_.setSingleShot(true);
    addSlice_.setInterval(0);
    connect(&addSlice_, &QTimer::timeout, this, &CQuorviaView::RunAddTick);
    connect(&updateTimer_, &QTimer::timeout, this, &CQuorviaView::RunUpdateTick);
    connect(columns, &QHeaderView::sectionClicked, this, &CQuorviaView::OnHeaderClicked);
    connect(this, &QAbstractItemView::doubleClicked, this, &CQuorviaView::OnActivated);
}

CQmQuorviaModel* CQuorviaView::GetModel() const { return model_; }

int CQuorviaView::GetItemCount() const { return model_->GetFileCount(); }

bool CQuorviaView::IsAddTimerActive() const { return addTimer_.isActive(); }

bool CQuorviaView::IsUpdateTimerActive() const { return updateTimer_.isActive(); }

void CQuorviaView::Clear() {
    addTimer_.stop();
    addSlice_.stop();
    updateTimer_.stop();
    cursor_ = 0;
    unspannedGroup_ = 0;
    model_->Reset();
}

void CQuorviaView::BeginAddItems() {
    Clear();
    const CQmHashCatalog& catalog = GetHashCatalog();
    const int32_t algorithm = doc_.GetAlgorithm();
    QString title;
    if (catalog.Contains(algorithm)) title = QString::fromUtf16(catalog.GetAt(catalog.IndexOf(algorithm))->name);
    model_->SetHashTitle(title);
    addTimer_.start();
}

void CQuorviaView::EndAddItems() {
    QmWaitCursor wait;
    addTimer_.stop();
    addSlice_.stop();
    TakeInItems(std::nullopt);
    cursor_ = 0;
    updateTimer_.start();
    SortByColumn(-1);
    // The document takes the order shown, so a saved list names its files
    // in that order. The tick above took in every item, so the rows hold
    // each of the document's items once and the document accepts the order.
    // Rows were given their ids in the order their items stood in the
    // document, so an id also says where its item stands there now, which
    // spares the document a search for each item.
    const std::vector<CQmQuorviaItem*> order = model_->ItemsInRowOrder();
    std::vector<uint32_t> places(order.size());
    for (size_t i = 0; i < order.size(); ++i) places[i] = static_cast<uint32_t>(order[i]->GetViewId() - 1);
    doc_.ReplaceItems(order, places);
}

void CQuorviaView::BeginHashUpdates() {
    cursor_ = 0;
    updateTimer_.start();
    if (doc_.IsVerifyMode()) model_->ClearVerifyColumnOfSelected();
}

void CQuorviaView::EndHashUpdates() {
    QmWaitCursor wait;
    updateTimer_.stop();
    RunUpdateTick();
}

void CQuorviaView::RunAddTick() {
    addSlice_.stop();
    if (TakeInItems(addBudget_)) addSlice_.start();
}

// A fast enumeration finds well over a hundred thousand files between two
// ticks; taking them all in at once would hold the window still for a good
// part of a second.
bool CQuorviaView::TakeInItems(std::optional<std::chrono::milliseconds> budget) {
    const auto start = std::chrono::steady_clock::now();
    const int firstNewGroup = model_->GetGroupCount();
    std::array<CQmQuorviaItem*, kViewBatchSize> batch;
    bool more = false;
    for (;;) {
        const size_t count = doc_.GetItems(cursor_, batch);
        if (count == 0) break;
        cursor_ += count;
        model_->AppendItems(std::span<CQmQuorviaItem* const>(batch.data(), count));
        if (count < batch.size()) break;
        if (budget && std::chrono::steady_clock::now() - start >= *budget) {
            more = true;
            break;
        }
    }
    ShowNewGroups(firstNewGroup);
    return more;
}

// A group is shown open and its row spans the columns. Inserting groups
// left a full layout pending, and while one is pending expanding only
// records the state; spanning, in contrast, lays out at once. That layout
// grows with every row listed (20 ms at 170,000), so it is left to the
// view's own delayed layout, which runs as an event of its own; the groups
// are spanned right after it, when spanning costs nothing more.
void CQuorviaView::ShowNewGroups(int first) {
    const int count = model_->GetGroupCount();
    for (int group = first; group < count; ++group) expand(model_->GroupIndex(group));
}

void CQuorviaView::doItemsLayout() {
    QTreeView::doItemsLayout();
    if (!model_) return;  // a layout while the view is being made
    const int count = model_->GetGroupCount();
    for (; unspannedGroup_ < count; ++unspannedGroup_) setFirstColumnSpanned(unspannedGroup_, QModelIndex(), true);
}

// The update tick walks the document from the cursor. Unselected items take
// no part in the run and are passed over. The first selected item that is
// not finished ends the tick (after its row was written), and the cursor
// stays on it, so finished items are never looked at twice.
//
// The workers set an item's flags in an order the view cannot rely on (the
// hasher marks an item processed before it sets updated; the reader sets
// updated before reading), so the flags alone could let a result go
// unshown: the tick might see processed already but updated not yet, pass
// the item and never come back. So the tick compares what the row shows with
// what the item's state calls for and writes the cell when they differ, as
// well as whenever updated is set. It clears updated before it reads the
// state, so a result stored after the read sets the flag again for the next
// tick; and it reads processed before reading, because reading is cleared
// before processed is set.
void CQuorviaView::RunUpdateTick() {
    const int target = doc_.IsVerifyMode() ? QM_COLUMN_VERIFY : QM_COLUMN_HASH;
    bool totals = false;
    bool halted = false;
    std::array<CQmQuorviaItem*, kViewBatchSize> batch;
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
                model_->MarkSizeAndTimeChanged(item);
                totals = true;
            }
            const bool done = item->IsProcessed();
            const CQmQuorviaModel::CellState state = done              ? CQmQuorviaModel::CELL_RESULT
                                                     : item->IsReading() ? CQmQuorviaModel::CELL_READING
                                                                         : CQmQuorviaModel::CELL_EMPTY;
            const CQmQuorviaModel::CellState shown = model_->GetCellState(item, target);
            const bool differs = done ? !ShowsResult(shown) : shown != state;
            if (updated || differs) model_->SetCellState(item, target, state);
            if (!done) {
                halted = true;
                break;
            }
            ++cursor_;
        }
    }
    model_->FlushChanges();
    if (totals) emit totalsChanged();
}

void CQuorviaView::SortByColumn(int column) {
    if (column >= model_->columnCount()) return;
    QmWaitCursor wait;
    bool ascending = sortAscending_;
    if (column < 0) {
        column = sortColumn_ < 0 ? 0 : sortColumn_;
    } else {
        ascending = column != sortColumn_ || !sortAscending_;
    }
    sortColumn_ = column;
    sortAscending_ = ascending;
    ApplySortIndicator();
    model_->Sort(column, ascending);
}

void CQuorviaView::ApplySortIndicator() {
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(sortColumn_, sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CQuorviaView::OnHeaderClicked(int section) { SortByColumn(section); }

void CQuorviaView::OnActivated(const QModelIndex& index) {
    const CQmQuorviaItem* item = model_->ItemAt(index);
    if (!item) return;
    if (!OpenFileWithShell(item->GetPath())) ShowLastError(static_cast<QWidget*>(this));
}

void CQuorviaView::CollapseAll() { collapseAll(); }

void CQuorviaView::ExpandAll() { expandAll(); }

void CQuorviaView::selectAll() { SelectAllItems(); }

QRegion CQuorviaView::visualRegionForSelection(const QItemSelection& selection) const {
    // The tree view finds the rows of every range by a search through all
    // rows. After a large selection was sorted it consists of thousands of
    // ranges, and clearing it took half a minute at 200,000 rows. Only rows
    // on screen can need painting, so walk those (a few dozen; each step is
    // next to the last one the view looked up) and mark the selected ones.
    QRegion region;
    if (selection.isEmpty()) return region;
    const QRect area = viewport()->rect();
    const auto selected = [&selection](const QModelIndex& row) {
        const QModelIndex parent = row.parent();
        for (const QItemSelectionRange& range : selection) {
            if (range.top() <= row.row() && row.row() <= range.bottom() && range.parent() == parent) return true;
        }
        return false;
    };
    for (QModelIndex row = indexAt(area.topLeft()).siblingAtColumn(0); row.isValid(); row = indexBelow(row)) {
        const QRect rect = visualRect(row);
        if (rect.top() > area.bottom()) break;
        if (selected(row)) region += QRect(area.left(), rect.top(), area.width(), rect.height());
    }
    return region;
}

void CQuorviaView::SelectAllItems() {
    QItemSelection selection;
    for (int group = 0; group < model_->GetGroupCount(); ++group) {
        const QModelIndex parent = model_->GroupIndex(group);
        const int rows = model_->rowCount(parent);
        if (rows == 0) continue;
        selection.append(QItemSelectionRange(model_->index(0, 0, parent),
                                             model_->index(rows - 1, model_->columnCount() - 1, parent)));
    }
    // Each range already spans every column. Asking the selection model to
    // widen them to rows as well would merge each range into all the ones
    // before it, which with tens of thousands of directories takes minutes.
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::vector<CQmQuorviaItem*> CQuorviaView::GetSelectedItems() const {
    std::vector<std::pair<int, int>> rows;  // (group, row)
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        const QModelIndex parent = range.parent();
        if (!parent.isValid()) continue;  // group rows are not files
        for (int row = range.top(); row <= range.bottom(); ++row) rows.emplace_back(parent.row(), row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<CQmQuorviaItem*> items;
    items.reserve(rows.size());
    for (const auto& [group, row] : rows) {
        if (CQmQuorviaItem* item = model_->ItemAt(model_->index(row, 0, model_->GroupIndex(group)))) {
            items.push_back(item);
        }
    }
    return items;
}

size_t CQuorviaView::RemoveItems(std::span<CQmQuorviaItem* const> items) {
    const std::span<const CQmQuorviaItem* const> doomed(items.data(), items.size());
    // While a tick timer runs its cursor counts document items; every item
    // removed before the cursor moves the later ones down by one.
    size_t before = 0;
    if ((addTimer_.isActive() || updateTimer_.isActive()) && cursor_ > 0) {
        std::vector<const CQmQuorviaItem*> sorted(doomed.begin(), doomed.end());
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        std::array<CQmQuorviaItem*, kViewBatchSize> batch;
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
    model_->RemoveItemRows(doomed);
    const size_t removed = doc_.RemoveItems(doomed);
    cursor_ -= std::min(before, cursor_);
    return removed;
}

void CQuorviaView::keyPressEvent(QKeyEvent* event) {
    // Shift+F10 is the other keyboard way to the context menu.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        contextMenuEvent(&menuEvent);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CQuorviaView::contextMenuEvent(QContextMenuEvent* event) {
    const std::vector<CQmQuorviaItem*> selected = GetSelectedItems();
    if (selected.empty()) return;
    QPoint at = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        // From the keyboard: below the current row, or the first selected one.
        QModelIndex row = currentIndex();
        if (!row.isValid() || !model_->ItemAt(row)) row = model_->IndexOfItem(selected.front());
        scrollTo(row);
        at = viewport()->mapToGlobal(visualRect(row).bottomLeft());
    }

    QMenu menu(this);
    menu.setAccessibleName(QStringLiteral("文件项"));
    const bool busy = doc_.IsBusy();
    auto add = [this](QMenu& into, const char16_t* text, uint32_t id, bool enabled = true) {
        QAction* action = into.addAction(QString::fromUtf16(text));
        action->setData(id);
        action->setEnabled(enabled);
    };
    add(menu, u"打开文件(&O)", ID_ITEM_OPEN);
    add(menu, u"浏览文件(&E)", ID_ITEM_BROWSE);
    add(menu, u"文件属性(&R)", ID_ITEM_PROPERTIES);
    QMenu* copy = menu.addMenu(QString::fromUtf16(u"复制"));
    copy->setAccessibleName(QStringLiteral("复制"));
    add(*copy, u"文件名", ID_COPY_NAME);
    add(*copy, u"文件路径", ID_COPY_PATH);
    add(*copy, u"哈希值(文本)", ID_COPY_HASH_TEXT);
    add(*copy, u"哈希值(C代码)", ID_COPY_HASH_CODE);
    if (doc_.GetAlgorithm() == QM_HASH_115) add(*copy, u"文件链接", ID_COPY_LINK);
    menu.addSeparator();
    add(menu, u"校验文件", ID_ITEM_VERIFY, !busy);
    menu.addSeparator();
    // The workers hold pointers to the items while a task runs.
    add(menu, u"删除文件项(&D)", ID_ITEM_REMOVE, !busy);
    // exec keeps the menu on the screen that holds the point.
    if (const QAction* chosen = menu.exec(at)) RunItemCommand(chosen->data().toUInt());
}

void CQuorviaView::RunItemCommand(uint32_t id) {
    switch (id) {
    case ID_ITEM_OPEN:
        ForEachSelectedFile(&OpenFileWithShell);
        break;
    case ID_ITEM_BROWSE:
        ForEachSelectedFile(&ShowFileInExplorer);
        break;
    case ID_ITEM_PROPERTIES: {
        std::vector<std::u16string> paths;
        for (const CQmQuorviaItem* item : GetSelectedItems()) paths.emplace_back(item->GetPath());
        if (paths.empty()) break;
        bool shown;
        {
            QmWaitCursor wait;
            shown = ShowFileProperties(paths);
        }
        if (!shown) ShowLastError(ToOwner(this));
        break;
    }
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

void CQuorviaView::ForEachSelectedFile(bool (*action)(std::u16string_view path)) {
    std::u16string errors;
    {
        QmWaitCursor wait;
        for (const CQmQuorviaItem* item : GetSelectedItems()) {
            if (!action(item->GetPath())) errors += GetLastErrorText() + u"\r\n";
        }
    }
    // One line per failure; the last line break would only add an empty line.
    while (!errors.empty() && (errors.back() == u'\r' || errors.back() == u'\n')) errors.pop_back();
    if (!errors.empty()) ShowMessage(ToOwner(this), MB_ICONERROR, errors);
}

void CQuorviaView::CopySelected(uint32_t id) {
    const std::vector<CQmQuorviaItem*> items = GetSelectedItems();
    std::vector<std::u16string> pieces;
    pieces.reserve(items.size());
    std::u16string text;
    if (id == ID_COPY_LINK) {
        if (doc_.GetAlgorithm() != QM_HASH_115) return;
        for (const CQmQuorviaItem* item : items) pieces.push_back(doc_.GetLink115(item));
        text = JoinCopyLines(pieces, QmEmptyPiece::Skip);
    } else if (id == ID_COPY_HASH_CODE) {
        for (const CQmQuorviaItem* item : items) pieces.push_back(model_->CellText(item, QM_COLUMN_HASH));
        const CQmHashCatalog& catalog = GetHashCatalog();
        const int32_t algorithm = doc_.GetAlgorithm();
        const std::u16string_view name =
            catalog.Contains(algorithm) ? std::u16string_view(catalog.GetAt(catalog.IndexOf(algorithm))->name)
                                        : std::u16string_view();
        text = MakeHashCArrays(name, pieces);
    } else {
        for (const CQmQuorviaItem* item : items) {
            if (id == ID_COPY_NAME) pieces.emplace_back(PathFindFileName(item->GetPath()));
            if (id == ID_COPY_PATH) pieces.emplace_back(item->GetPath());
            if (id == ID_COPY_HASH_TEXT) pieces.push_back(model_->CellText(item, QM_COLUMN_HASH));
        }
        text = JoinCopyLines(pieces);
    }
    if (!CopyTextToClipboard(text)) ShowLastError(ToOwner(this));
}

void CQuorviaView::VerifySelected() {
    // Greyed in the menu while a task runs; the workers own the flags then.
    if (doc_.IsBusy()) return;
    doc_.SelectAll(false, false);
    bool shownUnhashed = false;
    for (CQmQuorviaItem* item : GetSelectedItems()) {
        if (item->HasHash()) {
            item->SetSelected(true);
        } else if (!shownUnhashed) {
            shownUnhashed = true;
            scrollTo(model_->IndexOfItem(item));
        }
    }
    emit itemCommandDone(ID_ITEM_VERIFY);
}

void CQuorviaView::RemoveSelected() {
    // A worker may hold any item while a task runs, so nothing is freed then.
    if (doc_.IsBusy()) return;
    if (ShowMessage(ToOwner(this), MB_OKCANCEL | MB_ICONQUESTION, kRemoveQuestion) == IDOK) {
        QmWaitCursor wait;
        const std::vector<CQmQuorviaItem*> items = GetSelectedItems();
        RemoveItems(items);
    }
    emit itemCommandDone(ID_ITEM_REMOVE);
}

void CQuorviaView::FindCommand() { ShowFindDialog(find_.OnFindCommand()); }

void CQuorviaView::FindNextCommand() {
    const QmFindAction action = find_.OnFindNextCommand();
    if (action == QmFindAction::Search) {
        SearchNext();
    } else {
        ShowFindDialog(action);
    }
}

void CQuorviaView::ShowFindDialog(QmFindAction action) {
    if (!findDlg_) {
        findDlg_ = new CQmFindDlg(this);
        connect(findDlg_, &CQmFindDlg::FindNextRequested, this, [this](const QmFindSettings& settings) {
            find_.OnDialogFindNext(settings);
            SearchNext();
        });
        connect(findDlg_, &CQmFindDlg::Closed, this, [this] { find_.OnDialogClosed(); });
        connect(findDlg_, &CQmFindDlg::FindCommandPressed, this, &CQuorviaView::FindCommand);
        connect(findDlg_, &CQmFindDlg::FindNextCommandPressed, this, &CQuorviaView::FindNextCommand);
    }
    if (action == QmFindAction::OpenDialog) {
        findDlg_->SetSettings(find_.GetSettings());
        findDlg_->show();
    }
    findDlg_->raise();
    findDlg_->activateWindow();
}

void CQuorviaView::SearchNext() {
    // Every cell's text is made for the search; a long list takes a moment.
    std::optional<QmWaitCursor> wait(std::in_place);
    const CQmShownRows rows(*model_);
    std::optional<size_t> first;
    const std::vector<CQmQuorviaItem*> selected = GetSelectedItems();
    if (!selected.empty()) {
        // The selected rows come in row order; the first one's place in the
        // whole list is the rows of the groups above it plus its own row.
        const QModelIndex index = model_->IndexOfItem(selected.front());
        size_t place = static_cast<size_t>(index.row());
        for (int group = 0; group < index.parent().row(); ++group) {
            place += static_cast<size_t>(model_->rowCount(model_->GroupIndex(group)));
        }
        first = place;
    }
    const std::optional<size_t> found = FindRow(rows, rows.GetRowCount(), first, find_.GetSettings());
    wait.reset();
    if (!found) {
        QWidget* owner = find_.IsDialogOpen() && findDlg_ ? static_cast<QWidget*>(findDlg_) : this;
        ShowMessage(ToOwner(owner), MB_ICONINFORMATION, kFindFinishedText);
        return;
    }
    const QModelIndex match = model_->IndexOfItem(rows.GetItem(*found));
    expand(match.parent());
    selectionModel()->setCurrentIndex(match, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(match);
}

}  // namespace qm
