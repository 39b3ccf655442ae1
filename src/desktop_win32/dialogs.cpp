// The new-task dialog and the About box (see dialogs.h).
#include "desktop_win32/dialogs.h"

#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <algorithm>

#include "desktop/frame_resources.h"
#include "desktop_win32/icon_cache.h"
#include "desktop_win32/resource.h"
#include "desktop_win32/shell_services.h"
#include "desktop_win32/win32_prompts.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

namespace {

// The controls that keep their distance to the dialog's bottom-right corner
// as it grows; the list takes the rest.
constexpr int kMovingControls[] = {IDC_SUBDIRS, IDC_ALGORITHM_LABEL, IDC_ALGORITHM, IDC_ADD_FILES, IDC_ADD_DIRECTORY,
                                   IDOK, IDCANCEL};

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

std::u16string GetControlText(HWND dialog, int id) {
    const HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return FromWide(text);
}

bool CQmNewTaskDlg::Run(HWND owner, QmNewTaskChoice& choice) {
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_NEW_TASK), owner,
                                           &CQmNewTaskDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    if (result != IDOK) return false;
    choice.algorithmId = logic_.GetAlgorithmId();
    choice.recurseSubdirectories = logic_.GetRecurseSubdirectories();
    choice.chosenPaths = logic_.GetChosenPaths();
    choice.commonRoot = logic_.GetCommonRoot();
    return true;
}

INT_PTR CALLBACK CQmNewTaskDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<CQmNewTaskDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog) return FALSE;
    if (message == WM_INITDIALOG) dialog->hwnd_ = hwnd;
    return dialog->HandleMessage(message, wParam, lParam);
}

void CQmNewTaskDlg::OnInit() {
    list_ = GetDlgItem(hwnd_, IDC_PATH_LIST);
    SetWindowTheme(list_, L"Explorer", nullptr);
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(GetIconCache().GetImageList()));
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = ScalePixels(100);
    column.pszText = const_cast<wchar_t*>(L"文件路径");
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ShowPaths();
    DragAcceptFiles(hwnd_, TRUE);

    const HWND combo = GetDlgItem(hwnd_, IDC_ALGORITHM);
    for (const std::u16string& name : CQmNewTaskDialogLogic::GetAlgorithmNames()) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name)));
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(CQmNewTaskDialogLogic::GetInitialAlgorithmIndex()), 0);
    CheckDlgButton(hwnd_, IDC_SUBDIRS, CQmNewTaskDialogLogic::GetInitialRecurse() ? BST_CHECKED : BST_UNCHECKED);

    // Resizing: the first size is the smallest; the list takes the change.
    RECT window{};
    GetWindowRect(hwnd_, &window);
    initialSize_ = {window.right - window.left, window.bottom - window.top};
    RECT client{};
    GetClientRect(hwnd_, &client);
    clientAtStart_ = {client.right, client.bottom};
    anchors_.push_back({IDC_PATH_LIST, ClientRectOf(hwnd_, list_)});
    for (int id : kMovingControls) anchors_.push_back({id, ClientRectOf(hwnd_, GetDlgItem(hwnd_, id))});
    const int grip = GetSystemMetrics(SM_CXVSCROLL);
    grip_ = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN,
                            client.right - grip, client.bottom - grip, grip, grip, hwnd_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);

    // On a small screen (or at a large scale) the dialog is no larger than
    // the work area, and that size is then its smallest.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
    const LONG areaWidth = monitor.rcWork.right - monitor.rcWork.left;
    const LONG areaHeight = monitor.rcWork.bottom - monitor.rcWork.top;
    if (initialSize_.cx > areaWidth || initialSize_.cy > areaHeight) {
        initialSize_ = {std::min(initialSize_.cx, areaWidth), std::min(initialSize_.cy, areaHeight)};
        SetWindowPos(hwnd_, nullptr, 0, 0, initialSize_.cx, initialSize_.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CentreOverOwner(hwnd_, GetWindow(hwnd_, GW_OWNER));
}

void CQmNewTaskDlg::Layout(int width, int height) {
    const int dx = width - clientAtStart_.cx;
    const int dy = height - clientAtStart_.cy;
    HDWP positions = BeginDeferWindowPos(static_cast<int>(anchors_.size()) + 1);
    for (const Anchor& anchor : anchors_) {
        const HWND control = GetDlgItem(hwnd_, anchor.id);
        const RECT& r = anchor.rect;
        if (anchor.id == IDC_PATH_LIST) {
            positions = DeferWindowPos(positions, control, nullptr, r.left, r.top, r.right - r.left + dx,
                                       r.bottom - r.top + dy, SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            positions = DeferWindowPos(positions, control, nullptr, r.left + dx, r.top + dy, 0, 0,
                                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
        }
    }
    if (grip_) {
        const int grip = GetSystemMetrics(SM_CXVSCROLL);
        positions = DeferWindowPos(positions, grip_, nullptr, width - grip, height - grip, grip, grip,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    EndDeferWindowPos(positions);
    if (grip_) ShowWindow(grip_, IsZoomed(hwnd_) ? SW_HIDE : SW_SHOW);
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
}

void CQmNewTaskDlg::AddChosenPaths(std::span<const std::u16string> paths) {
    logic_.AddChosenPaths(paths);
    if (list_) ShowPaths();
}

void CQmNewTaskDlg::ShowPaths() {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < logic_.GetPathCount(); ++i) {
        const std::u16string& path = logic_.GetPath(i);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(Wide(path));
        item.iImage = GetIconCache().GetFileIconIndex(path);
        item.stateMask = LVIS_SELECTED;
        item.state = logic_.IsPathSelected(i) ? LVIS_SELECTED : 0;
        SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    GetIconCache().Realize();
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void CQmNewTaskDlg::TakeSelection() {
    for (size_t i = 0; i < logic_.GetPathCount(); ++i) {
        const LRESULT state = SendMessageW(list_, LVM_GETITEMSTATE, i, LVIS_SELECTED);
        logic_.SetPathSelected(i, (state & LVIS_SELECTED) != 0);
    }
}

void CQmNewTaskDlg::OnOk() {
    const int index = static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_ALGORITHM, CB_GETCURSEL, 0, 0));
    std::u16string algorithm;
    if (index >= 0) {
        const auto length = SendDlgItemMessageW(hwnd_, IDC_ALGORITHM, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendDlgItemMessageW(hwnd_, IDC_ALGORITHM, CB_GETLBTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(text.data()));
        algorithm = FromWide(text.c_str());
    }
    const bool recurse = IsDlgButtonChecked(hwnd_, IDC_SUBDIRS) == BST_CHECKED;
    const bool accepted = logic_.OnOk(ToOwner(hwnd_), algorithm, recurse);
    ShowPaths();
    if (accepted) EndDialog(hwnd_, IDOK);
}

INT_PTR CQmNewTaskDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit();
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        if (initialSize_.cx > 0) limits->ptMinTrackSize = {initialSize_.cx, initialSize_.cy};
        return TRUE;
    }
    case WM_SIZE:
        if (!anchors_.empty()) Layout(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_DROPFILES: {
        AddChosenPaths(TakeDroppedPaths(reinterpret_cast<HDROP>(wParam)));
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_PATH_LIST && header->code == LVN_KEYDOWN &&
            reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_DELETE) {
            TakeSelection();
            logic_.RemoveSelected();
            ShowPaths();
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ADD_FILES:
            TakeSelection();
            if (logic_.AddFiles(ToOwner(hwnd_))) ShowPaths();
            return TRUE;
        case IDC_ADD_DIRECTORY:
            TakeSelection();
            if (logic_.AddDirectory(ToOwner(hwnd_))) ShowPaths();
            return TRUE;
        case IDOK:
            TakeSelection();
            OnOk();
            return TRUE;
        case IDCANCEL:
            EndDialog(hwnd_, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

namespace {

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        CentreOverOwner(hwnd, GetWindow(hwnd, GW_OWNER));
        ShowWindow(GetDlgItem(hwnd, IDC_ABOUT_LINK), SW_HIDE);
        ShowWindow(GetDlgItem(hwnd, IDC_ABOUT_NOTE), SW_HIDE);
        std::u16string text;
        for (char16_t c : GetAboutText()) {
            if (c == u'\n') text.push_back(u'\r');
            text.push_back(c);
        }
        SetDlgItemTextW(hwnd, IDC_ABOUT_TEXT, Wide(text));
        // Only the upper half shows: the icon, the text and OK.
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        const int height = rect.bottom - rect.top;
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, rect.right - rect.left, height - height / 2,
                     SWP_NOMOVE | SWP_SHOWWINDOW);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void RunAboutBox(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, &AboutProc, 0);
}

}  // namespace qm::win32
