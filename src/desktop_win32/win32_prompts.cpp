// The Windows program's boxes and dialogs (see win32_prompts.h).
#include "desktop_win32/win32_prompts.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "common/path_util.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

namespace {

// A multiple selection of many files needs room for all their names.
constexpr DWORD kMultiSelectBufferChars = 65536;
constexpr DWORD kSingleBufferChars = 4096;

// Centres the dialog when it is ready; the dialog is the hook's parent.
UINT_PTR CALLBACK CentringHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE) {
        const HWND dialog = GetParent(hook);
        CentreOverOwner(dialog, GetWindow(dialog, GW_OWNER));
    }
    return 0;
}

// The filter pairs as the dialog takes them: description, NUL, pattern, NUL,
// ..., and one more NUL.
std::u16string FilterText(const std::vector<QmFileFilter>& filters) {
    std::u16string text;
    for (const QmFileFilter& filter : filters) {
        text += filter.description;
        text.push_back(u'\0');
        text += filter.pattern;
        text.push_back(u'\0');
    }
    text.push_back(u'\0');
    return text;
}

}  // namespace

void CentreOverOwner(HWND window, HWND owner) {
    RECT box{};
    GetWindowRect(window, &box);
    const HMONITOR monitor = MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    RECT area = info.rcWork;
    RECT around = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CQmWin32Prompts::MessageBox(const QmMessageBoxRequest& request) {
    return ::MessageBoxW(FromOwner(request.owner), Wide(request.text), Wide(request.caption), request.flags);
}

bool CQmWin32Prompts::FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) {
    const DWORD capacity = request.multiSelect ? kMultiSelectBufferChars : kSingleBufferChars;
    std::vector<wchar_t> buffer(capacity, L'\0');
    if (request.mode == QmFileDialogMode::Save) {
        const size_t count = std::min<size_t>(request.initialPath.size(), capacity - 1);
        std::copy_n(reinterpret_cast<const wchar_t*>(request.initialPath.data()), count, buffer.data());
    }
    const std::u16string filter = FilterText(request.filters);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = FromOwner(request.owner);
    ofn.hInstance = GetModuleHandleW(nullptr);
    ofn.lpstrFilter = reinterpret_cast<const wchar_t*>(filter.c_str());
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = capacity;
    ofn.lpstrTitle = Wide(request.title);
    ofn.lpstrDefExt = Wide(request.defaultExtension);
    ofn.lpfnHook = &CentringHook;
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_LONGNAMES |
                OFN_DONTADDTORECENT;
    if (request.mode == QmFileDialogMode::Open) {
        ofn.Flags |= OFN_FILEMUSTEXIST;
        if (request.multiSelect) ofn.Flags |= OFN_ALLOWMULTISELECT;
        if (!GetOpenFileNameW(&ofn)) return false;
    } else {
        if (request.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
        if (!GetSaveFileNameW(&ofn)) return false;
    }
    result.filterIndex = static_cast<int>(ofn.nFilterIndex);
    result.paths.clear();
    const std::u16string first = FromWide(buffer.data());
    if (request.mode == QmFileDialogMode::Open && request.multiSelect && ofn.nFileOffset > first.size()) {
        // Several files: the directory, then each name, NUL-separated.
        for (const wchar_t* name = buffer.data() + first.size() + 1; *name; name += wcslen(name) + 1) {
            result.paths.push_back(PathCombine(first, FromWide(name)));
        }
    } else {
        result.paths.push_back(first);
    }
    return !result.paths.empty();
}

bool CQmWin32Prompts::FolderDialog(QmWindow owner, std::u16string_view title, std::u16string& path) {
    const std::u16string instruction(title);
    BROWSEINFOW info{};
    info.hwndOwner = FromOwner(owner);
    info.lpszTitle = Wide(instruction);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return false;
    wchar_t buffer[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(chosen, buffer) != FALSE;
    CoTaskMemFree(chosen);
    if (!ok) return false;
    path = FromWide(buffer);
    return !path.empty();
}

void CQmWin32Prompts::SetWaitCursor(bool on) {
    if (on) {
        const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        if (waitDepth_++ == 0) previousCursor_ = previous;
    } else if (waitDepth_ > 0 && --waitDepth_ == 0) {
        SetCursor(previousCursor_ ? previousCursor_ : LoadCursorW(nullptr, IDC_ARROW));
    }
}

}  // namespace qm::win32
