// The file list's modeless find dialog on Windows.
//
// The system's find box (FindTextW) has the right controls, but under some
// systems it is an ANSI dialog in which Chinese search text turns into '?'.
// This one is a dialog of the program's own with the system box's controls
// (their ids, texts and tab order), its flags (FR_DOWN, FR_MATCHCASE,
// FR_WHOLEWORD) and its notifications: the registered "commdlg_FindReplace"
// message with the find record, sent to the owner for "查找下一个" (Enter) with
// FR_FINDNEXT and when it closes with FR_DIALOGTERM. Closing only hides it;
// its settings stay. The main loop gives it its keys through
// IsDialogMessage, after the frame's accelerators, so Ctrl+F and F3 keep
// working while it has the focus.
#pragma once

#include "desktop_win32/win32_api.h"
#include <commdlg.h>

#include <array>

#include "desktop/find_logic.h"

namespace qm::win32 {

class CQmFindDlg {
public:
    CQmFindDlg();
    ~CQmFindDlg();
    CQmFindDlg(const CQmFindDlg&) = delete;
    CQmFindDlg& operator=(const CQmFindDlg&) = delete;

    // Shows the dialog over `owner` with `settings` (making it the first
    // time) and gives it the focus.
    void Show(HWND owner, const QmFindSettings& settings);
    void BringToFront();
    bool IsOpen() const;
    HWND GetHwnd() const { return hwnd_; }
    bool IsDialogMessage(MSG& message);

    // The owner's side: the message, and the settings a record carries.
    static UINT NotifyMessage();
    static QmFindSettings SettingsOf(const FINDREPLACEW& record);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowSettings(const QmFindSettings& settings);
    void ReadFields();
    void Notify(DWORD flag);

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    FINDREPLACEW record_{};
    std::array<wchar_t, kFindTextMaxLength + 1> text_{};
};

}  // namespace qm::win32
