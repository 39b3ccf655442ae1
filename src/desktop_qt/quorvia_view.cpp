// The file list view on Qt (see quorvia_view.h).
#include "desktop_qt/quorvia_view.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include <QContextMenuEvent>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPalette>
#include <QRegion>
#include <QStyle>

#include "desktop/frame_resources.h"
#include "desktop_qt/clipboard.h"
#include "desktop_qt/find_dlg.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/qt_prompts.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/shell_actions.h"
#include "document/quorvia_doc.h"

namespace qm {

namespace {

// The widest of `characters` in `metrics`, `count` times over: what a cell of
// that many such characters needs in a proportional font.
int WidestRun(const QFontMetrics& metrics, QStringView characters, int count) {
    // Measured as whole runs: fractional advances add up beyond count times
    // one character's rounded width.
    int widest = 0;
    for (const QChar c : characters) widest = std::max(widest, metrics.horizontalAdvance(QString(count, c)));
    return widest;
}

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

}  // namespace

CQuorviaView::CQuorviaView(QWidget* parent) : CQuorviaView(GetQuorviaDoc(), parent) {}

CQuorviaView::CQuorviaView(CQmQuorviaDoc& doc, QWidget* parent) : QTreeView(parent), list_(doc, *this) {
    SetUpView();
}

// The model observes the list, so it goes before the list does.
CQuorviaView::~CQuorviaView() { setModel(nullptr); }

void CQuorviaView::SetUpView() {
    // Group rows show image 0, which must be a folder.
    if (GetIconCount() == 0) GetFileIconIndex(QDir::tempPath().toStdU16String());

    modelOwner_ = std::make_unique<CQmQuorviaModel>(list_.GetModel());
    model_ = modelOwner_.get();
    setModel(model_);
    // Assistive technologies see the rows and cells through the view's own
    // table interface; the list itself is named here.
    setAccessibleName(QStringLiteral("文件列表"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);  // sorting follows the list's own direction rules

    QHeaderView* columns = header();
    columns->setSectionsClickable(true);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSortIndicatorShown(false);
    // The widths suit a compact interface font; where the font is wider,
    // the date, hash and verification columns grow so that a time and a
    // 40-digit digest (MD5's and SHA1's fit whole) are not cut.
    int widths[kListColumnCount];
    for (int column = 0; column < kListColumnCount; ++column) widths[column] = GetListColumnWidth(column);
    const QFontMetrics metrics(font());
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    widths[QM_COLUMN_TIME] = std::max(widths[QM_COLUMN_TIME],
                                      WidestRun(metrics, u"0123456789", 14) + 5 * metrics.horizontalAdvance(u'-') + padding);
    const int digest = WidestRun(metrics, u"0123456789ABCDEF", 40);
    widths[QM_COLUMN_HASH] = std::max(widths[QM_COLUMN_HASH], digest + padding);
    // A changed file's verification shows the new digest after its label.
    widths[QM_COLUMN_VERIFY] =
        std::max(widths[QM_COLUMN_VERIFY], metrics.horizontalAdvance(ToQString(kNewHashText)) + digest + padding);
    for (int column = 0; column < kListColumnCount; ++column) columns->resizeSection(column, widths[column]);

    // The selection stays as visible when another window has the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);

    addTimer_.setInterval(static_cast<int>(kListTickMilliseconds));
    updateTimer_.setInterval(static_cast<int>(kListTickMilliseconds));
    connect(&addTimer_, &QTimer::timeout, this, [this] { list_.RunAddTick(); });
    addSlice_.setSingleShot(true);
    addSlice_.setInterval(0);
    connect(&addSlice_, &QTimer::timeout, this, [this] { list_.RunAddTick(); });
    connect(&updateTimer_, &QTimer::timeout, this, [this] { list_.RunUpdateTick(); });
    connect(columns, &QHeaderView::sectionClicked, this, [this](int section) { list_.OnColumnClick(section); });
    connect(this, &QAbstractItemView::doubleClicked, this, &CQuorviaView::OnActivated);

    // The list model's selection and folds are the ones that count; the tree
    // shows them and tells the model what the user changed.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CQuorviaView::OnSelectionChanged);
    connect(model_, &CQmQuorviaModel::selectionReplaced, this, &CQuorviaView::ApplyModelSelection);
    connect(model_, &CQmQuorviaModel::aboutToRearrange, this, [this] {
        // A sorted selection would become one persistent index per row.
        applyingSelection_ = true;
        selectionModel()->clearSelection();
        applyingSelection_ = false;
    });
    connect(model_, &CQmQuorviaModel::rearranged, this, [this] {
        ApplySortIndicator();
        ApplyModelSelection();
    });
    connect(model_, &CQmQuorviaModel::foldChanged, this, &CQuorviaView::ApplyFold);
    // New groups show open, as their fold state says.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
        if (parent.isValid()) return;
        for (int group = first; group <= last; ++group) {
            if (!list_.GetModel().IsFolded(static_cast<uint32_t>(group))) expand(model_->GroupIndex(group));
        }
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { unspannedGroup_ = 0; });
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!index.parent().isValid()) list_.GetModel().SetFolded(static_cast<uint32_t>(index.row()), false);
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (!index.parent().isValid()) list_.GetModel().SetFolded(static_cast<uint32_t>(index.row()), true);
    });
}

// A group is shown open and its row spans the columns. Inserting groups
// left a full layout pending, and while one is pending expanding only
// records the state; spanning, in contrast, lays out at once. That layout
// grows with every row listed (20 ms at 170,000), so it is left to the
// view's own delayed layout, which runs as an event of its own; the groups
// are spanned right after it, when spanning costs nothing more.
void CQuorviaView::doItemsLayout() {
    QTreeView::doItemsLayout();
    if (!model_) return;  // a layout while the view is being made
    const int count = model_->GetGroupCount();
    for (; unspannedGroup_ < count; ++unspannedGroup_) setFirstColumnSpanned(unspannedGroup_, QModelIndex(), true);
}

void CQuorviaView::SortByColumn(int column) {
    if (column < 0) {
        QmWaitCursor wait;
        list_.GetModel().SortByColumn(-1);
        return;
    }
    list_.OnColumnClick(column);
}

int CQuorviaView::GetSortColumn() const { return list_.GetModel().GetSortColumn(); }

bool CQuorviaView::IsSortAscending() const { return list_.GetModel().IsSortAscending(); }

void CQuorviaView::ApplySortIndicator() {
    const CQmListModel& list = list_.GetModel();
    if (list.GetSortColumn() < 0) return;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(list.GetSortColumn(), list.IsSortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CQuorviaView::ApplyFold(int group) {
    const CQmListModel& list = list_.GetModel();
    if (group < 0) {
        // Every group at once: the tree's own calls lay out once.
        bool anyOpen = false;
        for (uint32_t g = 0; g < list.GetGroupCount() && !anyOpen; ++g) anyOpen = !list.IsFolded(g);
        if (anyOpen) {
            expandAll();
        } else {
            collapseAll();
        }
        return;
    }
    setExpanded(model_->GroupIndex(group), !list.IsFolded(static_cast<uint32_t>(group)));
}

void CQuorviaView::OnActivated(const QModelIndex& index) {
    // A group row folds and unfolds by the tree's own double-click.
    QmListRow row;
    if (model_->RowOf(index, row) && !row.IsHeader()) list_.OnActivate(row);
}

void CQuorviaView::selectAll() { SelectAllItems(); }

std::vector<CQmQuorviaItem*> CQuorviaView::GetSelectedItems() const { return list_.GetModel().GetSelectedItems(); }

void CQuorviaView::ApplyModelSelection() {
    QItemSelection selection;
    for (const CQmListModel::RowRun& run : list_.GetModel().GetSelectedRuns()) {
        const QModelIndex parent = model_->GroupIndex(static_cast<int>(run.group));
        selection.append(QItemSelectionRange(model_->index(static_cast<int>(run.first), 0, parent),
                                             model_->index(static_cast<int>(run.last), kListColumnCount - 1, parent)));
    }
    // Each range already spans every column. Asking the selection model to
    // widen them to rows as well would merge each range into all the ones
    // before it, which with tens of thousands of directories takes minutes.
    applyingSelection_ = true;
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    applyingSelection_ = false;
}

void CQuorviaView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (applyingSelection_) return;
    CQmListModel& list = list_.GetModel();
    auto apply = [&](const QItemSelection& ranges, bool on) {
        for (const QItemSelectionRange& range : ranges) {
            const QModelIndex parent = range.parent();
            if (!parent.isValid()) continue;  // group rows are not files
            list.SetRowsSelected(static_cast<uint32_t>(parent.row()), static_cast<uint32_t>(range.top()),
                                 static_cast<uint32_t>(range.bottom()), on);
        }
    };
    apply(deselected, false);
    apply(selected, true);
}

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
    if (!list_.HasItemMenu()) return;
    QPoint at = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        // From the keyboard: below the current row, or the first selected one.
        QModelIndex row = currentIndex();
        if (!row.isValid() || !model_->ItemAt(row)) row = model_->IndexOfItem(GetSelectedItems().front());
        scrollTo(row);
        at = viewport()->mapToGlobal(visualRect(row).bottomLeft());
    }

    const QmItemMenuState state = list_.GetItemMenuState();
    QMenu menu(this);
    menu.setAccessibleName(QStringLiteral("文件项"));
    QMenu* copy = nullptr;
    for (const QmItemMenuEntry& entry : GetItemMenu()) {
        if (entry.id == 0) {
            menu.addSeparator();
            continue;
        }
        if (entry.id == ID_COPY_LINK && !state.showLink) continue;
        if (entry.inCopySubmenu && !copy) {
            copy = menu.addMenu(ToQString(kCopySubmenuText));
            copy->setAccessibleName(ToQString(kCopySubmenuText));
        }
        QAction* action = (entry.inCopySubmenu ? copy : &menu)->addAction(ToQString(entry.text));
        action->setData(entry.id);
        if (entry.id == ID_ITEM_VERIFY) action->setEnabled(state.verifyEnabled);
        if (entry.id == ID_ITEM_REMOVE) action->setEnabled(state.removeEnabled);
    }
    // exec keeps the menu on the screen that holds the point.
    if (const QAction* chosen = menu.exec(at)) list_.RunItemCommand(chosen->data().toUInt());
}

// --- IQmFileListHost ------------------------------------------------------

QmWindow CQuorviaView::GetListWindow() { return ToOwner(this); }

void CQuorviaView::StartTimer(uint32_t id, uint32_t periodMs) {
    QTimer& timer = id == kAddTimerId ? addTimer_ : updateTimer_;
    timer.start(static_cast<int>(periodMs));
}

void CQuorviaView::StopTimer(uint32_t id) { (id == kAddTimerId ? addTimer_ : updateTimer_).stop(); }

void CQuorviaView::ScheduleAddSlice() { addSlice_.start(); }

void CQuorviaView::CancelAddSlice() { addSlice_.stop(); }

void CQuorviaView::PostTotalsChanged() { emit totalsChanged(); }

void CQuorviaView::PostFrameCommand(uint32_t id) { emit itemCommandDone(id); }

void CQuorviaView::PostListReady() { emit listReady(); }

void CQuorviaView::ScrollToItem(const CQmQuorviaItem* item) {
    const QModelIndex index = model_->IndexOfItem(item);
    if (!index.isValid()) return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

void CQuorviaView::ShowFindDialog(const QmFindSettings& settings, bool open) {
    if (!findDlg_) {
        findDlg_ = new CQmFindDlg(this);
        connect(findDlg_, &CQmFindDlg::FindNextRequested, this,
                [this](const QmFindSettings& requested) { list_.OnFindDialogNext(requested); });
        connect(findDlg_, &CQmFindDlg::Closed, this, [this] { list_.OnFindDialogClosed(); });
        connect(findDlg_, &CQmFindDlg::FindCommandPressed, this, &CQuorviaView::FindCommand);
        connect(findDlg_, &CQmFindDlg::FindNextCommandPressed, this, &CQuorviaView::FindNextCommand);
    }
    if (open) {
        findDlg_->SetSettings(settings);
        findDlg_->show();
    }
    findDlg_->raise();
    findDlg_->activateWindow();
}

QmWindow CQuorviaView::GetFindDialogWindow() {
    return findDlg_ && findDlg_->isVisible() ? ToOwner(findDlg_) : nullptr;
}

bool CQuorviaView::OpenWithShell(std::u16string_view path) { return OpenFileWithShell(path); }

bool CQuorviaView::ShowInFolder(std::u16string_view path) { return ShowFileInExplorer(path); }

bool CQuorviaView::ShowProperties(const std::vector<std::u16string>& paths) { return ShowFileProperties(paths); }

bool CQuorviaView::CopyToClipboard(std::u16string_view text) { return CopyTextToClipboard(text); }

}  // namespace qm
