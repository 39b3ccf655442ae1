// What the window tests of the Windows program share: the real frame made in
// the test's own process under Wine's null display driver, its messages
// pumped until a condition holds, and its controls read back the way a
// screen reader or Wine's own control tests read them (LVM_GETITEMTEXTW,
// SB_GETTEXTW, the title, the menu states).
#pragma once

#include "desktop_win32/win32_api.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "desktop_win32/window.h"

namespace qm::test {

// Dispatches the thread's messages (through the loop's filters, as the
// program's loop does) until `done` is true or `seconds` have passed;
// whether it became true.
inline bool PumpUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    MSG message{};
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Kept for a caller that waits for the loop's end.
                PostQuitMessage(static_cast<int>(message.wParam));
                return done();
            }
            win32::CQmMessageLoop::ForThread().Dispatch(message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    return true;
}

// Dispatches what is queued now.
inline void PumpPending() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        win32::CQmMessageLoop::ForThread().Dispatch(message);
    }
}

inline std::u16string ListText(HWND list, int row, int column) {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return win32::FromWide(buffer);
}

// Takes back a quit that a frame closed by the test posted, so the next
// test's messages flow.
inline void DropQuit() {
    test::PumpPending();
    MSG message{};
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

inline int ListCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// The rows of column `column` from the first row on.
inline std::vector<std::u16string> ListColumn(HWND list, int column) {
    std::vector<std::u16string> texts;
    for (int row = 0; row < ListCount(list); ++row) texts.push_back(ListText(list, row, column));
    return texts;
}

inline std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int row = -1; (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                            LVNI_SELECTED))) >= 0;) {
        rows.push_back(row);
    }
    return rows;
}

inline std::u16string StatusText(HWND bar, int pane) {
    wchar_t buffer[512] = {};
    SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(buffer));
    return win32::FromWide(buffer);
}

inline std::u16string WindowText(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    return win32::FromWide(buffer);
}

// The state of the menu item `id` in the frame's menu bar as a popup
// opening now shows it.
inline UINT MenuItemState(HWND frame, UINT id) {
    const HMENU bar = GetMenu(frame);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        const HMENU popup = GetSubMenu(bar, i);
        SendMessageW(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), i);
        const UINT state = GetMenuState(popup, id, MF_BYCOMMAND);
        if (state != static_cast<UINT>(-1)) return state;
    }
    return static_cast<UINT>(-1);
}

// A click at the middle of row `row` of a list view, as the mouse makes it.
inline void ClickRow(HWND list, int row, bool doubleClick = false) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 4, (rect.top + rect.bottom) / 2);
    SendMessageW(list, doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
}

inline void PressKey(HWND window, UINT key) {
    SendMessageW(window, WM_KEYDOWN, key, 0);
    SendMessageW(window, WM_KEYUP, key, 0xC0000000);
}

}  // namespace qm::test
