// The file list on Windows (see quorvia_view.h).
#include "desktop_win32/quorvia_view.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>

#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "desktop_win32/find_dlg.h"
#include "desktop_win32/icon_cache.h"
#include "desktop_win32/resource.h"
#include "desktop_win32/shell_services.h"
#include "desktop_win32/win32_prompts.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "pipeline/notify_target.h"

namespace qm::win32 {

namespace {

// The list's own posts to itself: the rest of an add tick, and making the
// control's selection the model's after rows moved.
UINT SliceMessage() {
    static const UINT message = RegisterWindowMessageW(L"Quorvia.ListSlice");
    return message;
}
UINT SelectionSyncMessage() {
    static const UINT message = RegisterWindowMessageW(L"Quorvia.ListSelectionSync");
    return message;
}
UINT CountSyncMessage() {
    static const UINT message = RegisterWindowMessageW(L"Quorvia.ListCountSync");
    return message;
}

void CopyText(const std::u16string& text, LVITEMW& item) {
    if (!item.pszText || item.cchTextMax <= 0) return;
    const size_t count = std::min<size_t>(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
    std::copy_n(reinterpret_cast<const wchar_t*>(text.data()), count, item.pszText);
    item.pszText[count] = L'\0';
}

void SetState(HWND list, int index, UINT state, UINT mask) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CQuorviaView::CQuorviaView(CQmQuorviaDoc& doc) : list_(doc, *this) { list_.GetModel().SetObserver(this); }

CQuorviaView::~CQuorviaView() {
    list_.GetModel().SetObserver(nullptr);
    findDlg_.reset();
    Destroy();
}

bool CQuorviaView::CreateView(HWND frame, UINT id) {
    frame_ = frame;
    const HWND hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP |
                                          LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA | LVS_SHAREIMAGELISTS,
                                      0, 0, 0, 0, frame, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                      GetModuleHandleW(nullptr), nullptr);
    if (!hwnd || !Subclass(hwnd)) return false;
    SetWindowTheme(hwnd, L"Explorer", nullptr);
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;
    SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);

    // Image 0 is the folder the header rows show: the temporary directory's.
    CQmWin32IconCache& icons = GetIconCache();
    if (icons.GetIconCount() == 0) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        icons.GetFileIconIndex(FromWide(temp));
    }
    icons.Realize();
    SendMessageW(hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons.GetImageList()));

    // The header rows' text: the list's font in bold.
    LOGFONTW font{};
    if (GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font) == 0) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        font = metrics.lfMessageFont;
    }
    font.lfWeight = FW_BOLD;
    headerFont_.Reset(CreateFontIndirectW(&font));
    SetUpColumns();
    return true;
}

void CQuorviaView::SetUpColumns() {
    for (int column = 0; column < kListColumnCount; ++column) {
        const std::u16string title(column == QM_COLUMN_HASH ? std::u16string_view(list_.GetModel().GetHashTitle())
                                                            : GetListColumnTitle(column));
        LVCOLUMNW info{};
        info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        info.fmt = column == QM_COLUMN_SIZE ? LVCFMT_RIGHT : LVCFMT_LEFT;
        info.cx = ScalePixels(GetListColumnWidth(column));
        info.pszText = const_cast<wchar_t*>(Wide(title));
        SendMessageW(GetHwnd(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    }
}

// --- Notifications ----------------------------------------------------------

LRESULT CQuorviaView::OnReflectedNotify(NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        return OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_ITEMCHANGED:
        OnItemChanged(reinterpret_cast<NMLISTVIEW*>(header));
        return 0;
    case LVN_ODSTATECHANGED:
        OnStateRangeChanged(reinterpret_cast<NMLVODSTATECHANGE*>(header));
        return 0;
    case LVN_COLUMNCLICK:
        list_.OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
    case NM_DBLCLK: {
        const int index = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
        if (index >= 0 && static_cast<size_t>(index) < list_.GetModel().GetFlatRowCount()) {
            const QmListRow row = list_.GetModel().FlatRowAt(static_cast<size_t>(index));
            if (!row.IsHeader()) list_.OnActivate(row);
        }
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT CQuorviaView::OnGetDispInfo(NMLVDISPINFOW* info) {
    LVITEMW& item = info->item;
    const CQmListModel& model = list_.GetModel();
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= model.GetFlatRowCount()) {
        if (item.mask & LVIF_TEXT) CopyText({}, item);
        return 0;
    }
    const QmListRow row = model.FlatRowAt(static_cast<size_t>(item.iItem));
    if (item.mask & LVIF_TEXT) CopyText(model.RowText(row, item.iSubItem), item);
    if (item.mask & LVIF_IMAGE) {
        GetIconCache().Realize();
        const CQmQuorviaItem* file = model.ItemAt(row);
        item.iImage = row.IsHeader() ? 0 : (file ? file->GetIconIndex() : -1);
    }
    // Files stand one image's width in from their directory.
    if (item.mask & LVIF_INDENT) item.iIndent = row.IsHeader() ? 0 : 1;
    return 0;
}

LRESULT CQuorviaView::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const auto index = static_cast<int>(draw->nmcd.dwItemSpec);
        const CQmListModel& model = list_.GetModel();
        if (index < 0 || static_cast<size_t>(index) >= model.GetFlatRowCount()) return CDRF_DODEFAULT;
        const QmListRow row = model.FlatRowAt(static_cast<size_t>(index));
        if (!row.IsHeader()) return CDRF_DODEFAULT;
        DrawHeaderRow(draw->nmcd.hdc, index, row, draw->nmcd.uItemState);
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// A directory's header: the fold mark, the folder image and the directory in
// bold across the whole row, and a line to the row's end as the system's
// own group headers have.
void CQuorviaView::DrawHeaderRow(HDC dc, int index, const QmListRow& row, UINT state) {
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(GetHwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&bounds));
    RECT client{};
    GetClientRect(GetHwnd(), &client);
    bounds.right = std::max(bounds.right, client.right);
    FillRect(dc, &bounds, GetSysColorBrush(COLOR_WINDOW));

    const bool folded = list_.GetModel().IsFolded(row.group);
    const int height = bounds.bottom - bounds.top;
    const int mark = std::max(4, height / 4);
    const int centreY = bounds.top + height / 2;
    int x = bounds.left + ScalePixels(6);
    const UniqueBrush markBrush(CreateSolidBrush(GetSysColor(COLOR_GRAYTEXT)));
    const HGDIOBJ oldBrush = SelectObject(dc, markBrush.Get());
    const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    POINT triangle[3];
    if (folded) {  // pointing right
        triangle[0] = {x, centreY - mark};
        triangle[1] = {x + mark, centreY};
        triangle[2] = {x, centreY + mark};
    } else {  // pointing down
        triangle[0] = {x - mark / 2, centreY - mark / 2};
        triangle[1] = {x + mark + mark / 2, centreY - mark / 2};
        triangle[2] = {x + mark / 2, centreY + mark};
    }
    Polygon(dc, triangle, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    x += mark + ScalePixels(8);

    const int iconSize = GetSystemMetrics(SM_CXSMICON);
    ImageList_Draw(GetIconCache().GetImageList(), 0, dc, x, centreY - iconSize / 2, ILD_TRANSPARENT);
    x += iconSize + ScalePixels(6);

    const std::u16string& text = list_.GetModel().GetGroupDirectory(row.group);
    const HGDIOBJ oldFont = SelectObject(dc, headerFont_ ? headerFont_.Get() : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    RECT textRect{x, bounds.top, bounds.right - ScalePixels(8), bounds.bottom};
    RECT measured = textRect;
    DrawTextW(dc, Wide(text), static_cast<int>(text.size()), &measured,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CALCRECT);
    DrawTextW(dc, Wide(text), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    const int lineStart = std::min(measured.right, textRect.right) + ScalePixels(8);
    if (lineStart < textRect.right) {
        RECT line{lineStart, centreY, textRect.right, centreY + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_3DLIGHT));
    }
    if (state & CDIS_FOCUS) {
        RECT focus = bounds;
        DrawFocusRect(dc, &focus);
    }
}

// --- The selection ------------------------------------------------------------

void CQuorviaView::OnItemChanged(const NMLISTVIEW* change) {
    if (applyingSelection_ || !(change->uChanged & LVIF_STATE)) return;
    if (((change->uOldState ^ change->uNewState) & LVIS_SELECTED) == 0) return;
    const bool selected = (change->uNewState & LVIS_SELECTED) != 0;
    CQmListModel& model = list_.GetModel();
    if (change->iItem < 0) {
        // Every row at once.
        if (selected) {
            model.SelectAllRows();
        } else {
            model.ClearRowSelectionQuietly();
        }
        return;
    }
    if (static_cast<size_t>(change->iItem) >= model.GetFlatRowCount()) return;
    const QmListRow row = model.FlatRowAt(static_cast<size_t>(change->iItem));
    if (row.IsHeader()) {
        // A directory is no file: its row takes the focus, never the selection.
        if (selected) {
            applyingSelection_ = true;
            SetState(GetHwnd(), change->iItem, 0, LVIS_SELECTED);
            applyingSelection_ = false;
        }
        return;
    }
    model.SetRowSelected(model.ItemAt(row), selected);
}

void CQuorviaView::OnStateRangeChanged(const NMLVODSTATECHANGE* change) {
    if (applyingSelection_ || ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) == 0) return;
    const bool selected = (change->uNewState & LVIS_SELECTED) != 0;
    CQmListModel& model = list_.GetModel();
    const int last = std::min<int>(change->iTo, static_cast<int>(model.GetFlatRowCount()) - 1);
    applyingSelection_ = true;
    for (int index = std::max(0, change->iFrom); index <= last; ++index) {
        const QmListRow row = model.FlatRowAt(static_cast<size_t>(index));
        if (row.IsHeader()) {
            if (selected) SetState(GetHwnd(), index, 0, LVIS_SELECTED);
        } else {
            model.SetRowSelected(model.ItemAt(row), selected);
        }
    }
    applyingSelection_ = false;
}

void CQuorviaView::ApplySelection() {
    selectionSyncPending_ = false;
    if (!GetHwnd()) return;
    if (countDirty_) SyncCount();
    const CQmListModel& model = list_.GetModel();
    applyingSelection_ = true;
    // Some controls invalidate every row whose state changes, one at a
    // time; with drawing off the whole list is drawn again once instead.
    SendMessageW(GetHwnd(), WM_SETREDRAW, FALSE, 0);
    const size_t selected = model.GetSelectedRowCount();
    if (selected > 0 && selected == model.GetFileCount()) {
        // Everything: one message, then the headers taken out again.
        SetState(GetHwnd(), -1, LVIS_SELECTED, LVIS_SELECTED);
        for (uint32_t group = 0; group < model.GetGroupCount(); ++group) {
            SetState(GetHwnd(), static_cast<int>(model.FlatIndexOf({group, QmListRow::kHeader})), 0, LVIS_SELECTED);
        }
    } else {
        SetState(GetHwnd(), -1, 0, LVIS_SELECTED);
        for (const CQmListModel::RowRun& run : model.GetSelectedRuns()) {
            if (model.IsFolded(run.group)) continue;
            const size_t first = model.FlatIndexOf({run.group, run.first});
            for (uint32_t row = run.first; row <= run.last; ++row) {
                SetState(GetHwnd(), static_cast<int>(first + (row - run.first)), LVIS_SELECTED, LVIS_SELECTED);
            }
        }
    }
    SendMessageW(GetHwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(GetHwnd(), nullptr, FALSE);
    applyingSelection_ = false;
}

void CQuorviaView::ScheduleSelectionSync() {
    if (selectionSyncPending_ || !GetHwnd()) return;
    // Rows moved: the many changes of a tick end in one sync. Without a
    // selection there is nothing to move (the control's follows the model's
    // at every sync).
    if (list_.GetModel().GetSelectedRowCount() == 0) return;
    selectionSyncPending_ = true;
    PostMessageW(GetHwnd(), SelectionSyncMessage(), 0, 0);
}

// --- Input --------------------------------------------------------------------

int CQuorviaView::FocusedIndex() const {
    return static_cast<int>(SendMessageW(GetHwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

bool CQuorviaView::OnKeyDown(WPARAM key) {
    const int index = FocusedIndex();
    CQmListModel& model = list_.GetModel();
    if (index < 0 || static_cast<size_t>(index) >= model.GetFlatRowCount()) return false;
    const QmListRow row = model.FlatRowAt(static_cast<size_t>(index));
    if (key == VK_RETURN) {
        if (row.IsHeader()) {
            list_.OnActivate(row);
        } else {
            // Enter opens the selected files, as a double-click opens one.
            list_.RunItemCommand(ID_ITEM_OPEN);
        }
        return true;
    }
    if (!row.IsHeader() || (key != VK_LEFT && key != VK_RIGHT)) return false;
    model.SetFolded(row.group, key == VK_LEFT);
    return true;
}

bool CQuorviaView::OnLeftButton(LPARAM lParam) {
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const int index = static_cast<int>(SendMessageW(GetHwnd(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    CQmListModel& model = list_.GetModel();
    if (index < 0 || static_cast<size_t>(index) >= model.GetFlatRowCount()) return false;
    const QmListRow row = model.FlatRowAt(static_cast<size_t>(index));
    if (!row.IsHeader()) return false;
    // A click on a directory folds or unfolds it and leaves the selection.
    SetFocus(GetHwnd());
    SetState(GetHwnd(), index, LVIS_FOCUSED, LVIS_FOCUSED);
    list_.OnActivate(row);
    return true;
}

UniqueMenu CQuorviaView::BuildItemMenu() {
    if (!list_.HasItemMenu()) return {};
    UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ITEM_MENU)));
    if (!menu) return {};
    const HMENU popup = GetSubMenu(menu.Get(), 0);
    const QmItemMenuState state = list_.GetItemMenuState();
    if (!state.verifyEnabled) EnableMenuItem(popup, ID_ITEM_VERIFY, MF_BYCOMMAND | MF_GRAYED);
    if (!state.removeEnabled) EnableMenuItem(popup, ID_ITEM_REMOVE, MF_BYCOMMAND | MF_GRAYED);
    if (!state.showLink) DeleteMenu(popup, ID_COPY_LINK, MF_BYCOMMAND);
    return menu;
}

void CQuorviaView::ShowContextMenu(LPARAM lParam) {
    UniqueMenu menu = BuildItemMenu();
    if (!menu) return;
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        // From the keyboard: below the focused row, or the first selected one.
        int index = FocusedIndex();
        const int selected = static_cast<int>(SendMessageW(GetHwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                           LVNI_SELECTED));
        if (index < 0 || (SendMessageW(GetHwnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) &
                          LVIS_SELECTED) == 0) {
            index = selected;
        }
        RECT rect{};
        rect.left = LVIR_LABEL;
        if (index >= 0) {
            SendMessageW(GetHwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
            SendMessageW(GetHwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
        }
        at = {rect.left, rect.bottom};
        ClientToScreen(GetHwnd(), &at);
    }
    // A point on no monitor is brought onto the nearest one's work area.
    if (!MonitorFromPoint(at, MONITOR_DEFAULTTONULL)) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &info);
        at.x = std::clamp<LONG>(at.x, info.rcWork.left, info.rcWork.right - 1);
    }
    const HMENU popup = GetSubMenu(menu.Get(), 0);
    const UINT chosen = menuTracker_ ? menuTracker_(popup, at)
                                     : static_cast<UINT>(TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x,
                                                                        at.y, 0, GetHwnd(), nullptr));
    if (chosen != 0) list_.RunItemCommand(chosen);
}

LRESULT CQuorviaView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Whatever asks the control anything sees the model's rows.
    if (countDirty_) SyncCount();
    if (message == CountSyncMessage()) return 0;
    if (message == kReflectedNotify) return OnReflectedNotify(reinterpret_cast<NMHDR*>(lParam));
    if (message == SliceMessage()) {
        if (slicePending_) {
            slicePending_ = false;
            list_.RunAddTick();
        }
        return 0;
    }
    if (message == SelectionSyncMessage()) {
        if (selectionSyncPending_) ApplySelection();
        return 0;
    }
    if (message == CQmFindDlg::NotifyMessage()) {
        OnFindNotify(*reinterpret_cast<const FINDREPLACEW*>(lParam));
        return 0;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == kAddTimerId) {
            list_.RunAddTick();
            return 0;
        }
        if (wParam == kUpdateTimerId) {
            list_.RunUpdateTick();
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
            ShowContextMenu(-1);
            return 0;
        }
        if (OnKeyDown(wParam)) return 0;
        break;
    case WM_LBUTTONDOWN:
        if (OnLeftButton(lParam)) return 0;
        break;
    case WM_LBUTTONDBLCLK:
        // A double click on a directory is two clicks' worth of folding: one.
        if (OnLeftButton(lParam)) return 0;
        break;
    case WM_CONTEXTMENU:
        ShowContextMenu(lParam);
        return 0;
    default:
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

// --- The model's changes ------------------------------------------------------

void CQuorviaView::SyncCount() {
    countDirty_ = false;
    if (!GetHwnd()) return;
    SendMessageW(GetHwnd(), LVM_SETITEMCOUNT, list_.GetModel().GetFlatRowCount(), LVSICF_NOSCROLL);
}

// Setting the control's row count is not cheap everywhere, and a tick
// changes the rows many times: the count is set once, when the control is
// next asked anything, or by a message of its own at the latest.
void CQuorviaView::ScheduleCountSync() {
    if (countDirty_ || !GetHwnd()) return;
    countDirty_ = true;
    PostMessageW(GetHwnd(), CountSyncMessage(), 0, 0);
}

void CQuorviaView::ApplySortArrows() {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(GetHwnd(), LVM_GETHEADER, 0, 0));
    if (!header) return;
    const CQmListModel& model = list_.GetModel();
    for (int column = 0; column < kListColumnCount; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == model.GetSortColumn()) item.fmt |= model.IsSortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

void CQuorviaView::ApplyHashTitle() {
    const std::u16string title = list_.GetModel().GetHashTitle();
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = const_cast<wchar_t*>(Wide(title));
    SendMessageW(GetHwnd(), LVM_SETCOLUMNW, QM_COLUMN_HASH, reinterpret_cast<LPARAM>(&info));
}

void CQuorviaView::OnListChanging(const QmListChange&) {}

void CQuorviaView::OnListChanged(const QmListChange& change) {
    if (!GetHwnd()) return;
    const CQmListModel& model = list_.GetModel();
    switch (change.kind) {
    case QmListChange::Reset:
        SyncCount();
        break;
    case QmListChange::GroupsInserted:
    case QmListChange::RowsInserted:
    case QmListChange::RowsRemoved:
    case QmListChange::FoldChanged:
        ScheduleCountSync();
        InvalidateRect(GetHwnd(), nullptr, FALSE);
        ScheduleSelectionSync();
        break;
    case QmListChange::CellsChanged: {
        // Only the rows on screen need drawing again; the others are asked
        // for their texts when they are scrolled to.
        const size_t first = model.FlatIndexOf({change.group, change.first});
        if (first == CQmListModel::kNoFlatIndex) break;
        const size_t last = first + (change.last - change.first);
        const auto top = static_cast<size_t>(SendMessageW(GetHwnd(), LVM_GETTOPINDEX, 0, 0));
        const auto page = static_cast<size_t>(SendMessageW(GetHwnd(), LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
        if (last < top || first > top + page) break;
        SendMessageW(GetHwnd(), LVM_REDRAWITEMS, std::max(first, top), std::min(last, top + page));
        break;
    }
    case QmListChange::LayoutChanged:
        ApplySortArrows();
        InvalidateRect(GetHwnd(), nullptr, FALSE);
        ScheduleSelectionSync();
        break;
    case QmListChange::SelectionChanged:
        ApplySelection();
        break;
    case QmListChange::TitleChanged:
        ApplyHashTitle();
        break;
    }
}

// --- IQmFileListHost ----------------------------------------------------------

QmWindow CQuorviaView::GetListWindow() { return ToOwner(GetHwnd()); }

void CQuorviaView::StartTimer(uint32_t id, uint32_t periodMs) {
    if (GetHwnd()) SetTimer(GetHwnd(), id, periodMs, nullptr);
}

void CQuorviaView::StopTimer(uint32_t id) {
    if (GetHwnd()) KillTimer(GetHwnd(), id);
}

void CQuorviaView::ScheduleAddSlice() {
    if (slicePending_ || !GetHwnd()) return;
    slicePending_ = true;
    PostMessageW(GetHwnd(), SliceMessage(), 0, 0);
}

void CQuorviaView::CancelAddSlice() { slicePending_ = false; }

void CQuorviaView::PostTotalsChanged() { PostMessageW(frame_, WMU_UPDATE_TOTALS, 0, 0); }

void CQuorviaView::PostFrameCommand(uint32_t id) { PostMessageW(frame_, WM_COMMAND, id, 0); }

void CQuorviaView::PostListReady() { PostMessageW(frame_, WMU_LIST_READY, 0, 0); }

void CQuorviaView::ScrollToItem(const CQmQuorviaItem* item) {
    QmListRow row;
    if (!list_.GetModel().FindRow(item, row)) return;
    const size_t index = list_.GetModel().FlatIndexOf(row);
    if (index == CQmListModel::kNoFlatIndex) return;
    if (countDirty_) SyncCount();
    SetState(GetHwnd(), static_cast<int>(index), LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(GetHwnd(), LVM_ENSUREVISIBLE, index, FALSE);
}

// The find dialog tells its owner as the system's find box does: the
// registered find message with its record.
void CQuorviaView::OnFindNotify(const FINDREPLACEW& record) {
    if (record.Flags & FR_DIALOGTERM) {
        list_.OnFindDialogClosed();
        return;
    }
    if (record.Flags & FR_FINDNEXT) list_.OnFindDialogNext(CQmFindDlg::SettingsOf(record));
}

void CQuorviaView::ShowFindDialog(const QmFindSettings& settings, bool open) {
    if (!findDlg_) findDlg_ = std::make_unique<CQmFindDlg>();
    if (open) {
        findDlg_->Show(GetHwnd(), settings);
    } else {
        findDlg_->BringToFront();
    }
}

QmWindow CQuorviaView::GetFindDialogWindow() {
    return findDlg_ && findDlg_->IsOpen() ? ToOwner(findDlg_->GetHwnd()) : nullptr;
}

bool CQuorviaView::IsFindDialogMessage(MSG& message) { return findDlg_ && findDlg_->IsDialogMessage(message); }

bool CQuorviaView::OpenWithShell(std::u16string_view path) { return OpenFileWithShell(path); }

bool CQuorviaView::ShowInFolder(std::u16string_view path) { return ShowFileInExplorer(path); }

bool CQuorviaView::ShowProperties(const std::vector<std::u16string>& paths) { return ShowFileProperties(paths); }

bool CQuorviaView::CopyToClipboard(std::u16string_view text) { return CopyTextToClipboard(GetHwnd(), text); }

}  // namespace qm::win32
