// The find dialog (see find_dlg.h).
#include "desktop_win32/find_dlg.h"

#include "desktop_win32/resource.h"
#include "desktop_win32/win32_prompts.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

CQmFindDlg::CQmFindDlg() {
    record_.lStructSize = sizeof record_;
    record_.Flags = FR_DOWN;
    record_.lpstrFindWhat = text_.data();
    record_.wFindWhatLen = static_cast<WORD>(text_.size());
}

CQmFindDlg::~CQmFindDlg() {
    if (hwnd_) DestroyWindow(hwnd_);
}

UINT CQmFindDlg::NotifyMessage() {
    static const UINT message = RegisterWindowMessageW(FINDMSGSTRINGW);
    return message;
}

QmFindSettings CQmFindDlg::SettingsOf(const FINDREPLACEW& record) {
    QmFindSettings settings;
    settings.text = FromWide(record.lpstrFindWhat ? record.lpstrFindWhat : L"");
    settings.wholeWord = (record.Flags & FR_WHOLEWORD) != 0;
    settings.matchCase = (record.Flags & FR_MATCHCASE) != 0;
    settings.down = (record.Flags & FR_DOWN) != 0;
    return settings;
}

void CQmFindDlg::Show(HWND owner, const QmFindSettings& settings) {
    owner_ = owner;
    record_.hwndOwner = owner;
    if (!hwnd_) {
        hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FIND), GetAncestor(owner, GA_ROOT),
                                   &CQmFindDlg::DialogProc, reinterpret_cast<LPARAM>(this));
        if (!hwnd_) return;
        SendDlgItemMessageW(hwnd_, IDC_FIND_TEXT, EM_LIMITTEXT, kFindTextMaxLength, 0);
        CentreOverOwner(hwnd_, GetAncestor(owner, GA_ROOT));
    }
    record_.Flags &= ~FR_DIALOGTERM;
    ShowSettings(settings);
    ShowWindow(hwnd_, SW_SHOW);
    BringToFront();
}

void CQmFindDlg::BringToFront() {
    if (!hwnd_) return;
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
    const HWND edit = GetDlgItem(hwnd_, IDC_FIND_TEXT);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

bool CQmFindDlg::IsOpen() const { return hwnd_ && IsWindowVisible(hwnd_); }

bool CQmFindDlg::IsDialogMessage(MSG& message) { return IsOpen() && ::IsDialogMessageW(hwnd_, &message); }

void CQmFindDlg::ShowSettings(const QmFindSettings& settings) {
    std::u16string text = settings.text.substr(0, kFindTextMaxLength);
    SetDlgItemTextW(hwnd_, IDC_FIND_TEXT, Wide(text));
    CheckDlgButton(hwnd_, IDC_FIND_WHOLE_WORD, settings.wholeWord ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_FIND_MATCH_CASE, settings.matchCase ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(hwnd_, IDC_FIND_UP, IDC_FIND_DOWN, settings.down ? IDC_FIND_DOWN : IDC_FIND_UP);
    EnableWindow(GetDlgItem(hwnd_, IDOK), !text.empty());
}

void CQmFindDlg::ReadFields() {
    GetDlgItemTextW(hwnd_, IDC_FIND_TEXT, text_.data(), static_cast<int>(text_.size()));
    DWORD flags = record_.Flags & ~(FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD | FR_FINDNEXT | FR_DIALOGTERM);
    if (IsDlgButtonChecked(hwnd_, IDC_FIND_DOWN) == BST_CHECKED) flags |= FR_DOWN;
    if (IsDlgButtonChecked(hwnd_, IDC_FIND_MATCH_CASE) == BST_CHECKED) flags |= FR_MATCHCASE;
    if (IsDlgButtonChecked(hwnd_, IDC_FIND_WHOLE_WORD) == BST_CHECKED) flags |= FR_WHOLEWORD;
    record_.Flags = flags;
}

void CQmFindDlg::Notify(DWORD flag) {
    ReadFields();
    record_.Flags |= flag;
    if (owner_) SendMessageW(owner_, NotifyMessage(), 0, reinterpret_cast<LPARAM>(&record_));
}

INT_PTR CALLBACK CQmFindDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<CQmFindDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog) return FALSE;
    if (message == WM_INITDIALOG) dialog->hwnd_ = hwnd;
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CQmFindDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            Notify(FR_FINDNEXT);
            return TRUE;
        case IDCANCEL:
            ShowWindow(hwnd_, SW_HIDE);
            Notify(FR_DIALOGTERM);
            if (owner_) SetFocus(owner_);
            return TRUE;
        case IDC_FIND_TEXT:
            if (HIWORD(wParam) == EN_CHANGE) {
                EnableWindow(GetDlgItem(hwnd_, IDOK), GetWindowTextLengthW(GetDlgItem(hwnd_, IDC_FIND_TEXT)) > 0);
            }
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        SendMessageW(hwnd_, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace qm::win32
