// What the Windows shell does for the file list: the clipboard, opening a
// file with its program, showing it selected in Explorer, one properties
// sheet for several files. Each records its failure in the calling thread's
// error record (a context naming the action, ':' and the system's text) and
// returns false. User-interface thread only (COM initialised).
#pragma once

#include "desktop_win32/win32_api.h"
#include <objidl.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::win32 {

// Puts `text` on the clipboard as CF_UNICODETEXT; `owner` opens it.
bool CopyTextToClipboard(HWND owner, std::u16string_view text);

bool OpenFileWithShell(std::u16string_view path);
bool ShowFileInExplorer(std::u16string_view path);
bool ShowFileProperties(const std::vector<std::u16string>& paths);

// The paths of a WM_DROPFILES, whatever their length; the drop is freed.
std::vector<std::u16string> TakeDroppedPaths(HDROP drop);

// The shell calls the three actions make, replaceable so tests see what
// would be started with what, without starting it.
struct QmShellCalls {
    std::function<BOOL(SHELLEXECUTEINFOW*)> shellExecuteEx;
    std::function<HINSTANCE(HWND, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                            const wchar_t* directory, INT show)>
        shellExecute;
    std::function<HRESULT(IDataObject*, DWORD)> multiFileProperties;
};
// The calls in use (the system's own unless replaced); null restores them.
void SetShellCalls(const QmShellCalls* calls);

}  // namespace qm::win32
