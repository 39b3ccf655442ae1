// What ties the installed program into the shell: the taskbar identity the
// running window shares with its Start-menu shortcut, that shortcut, and
// the hand-over behind the file manager's verb.
//
// The file manager starts one process per chosen item. Each is started with
// kExplorerVerbSwitch; the first opens a window and marks it, every later
// one finds the marked window and hands its paths over (WM_COPYDATA), so
// ten chosen files give one window and one new-task dialog. A named lock
// keeps two of them from both finding no window. Every other start opens a
// window of its own, unmarked.
#pragma once

#include "desktop_win32/win32_api.h"
#include <shobjidl.h>

#include <span>
#include <string>
#include <vector>

#include "desktop_win32/win32_handles.h"

namespace qm::win32 {

// The program's taskbar identity, also the shortcut's.
inline constexpr wchar_t kAppUserModelId[] = L"Zantoria.Quorvia";
// The command-line switches of the verb and of the installer's shortcut.
inline constexpr char16_t kExplorerVerbSwitch[] = u"--explorer-verb";
inline constexpr char16_t kCreateShortcutSwitch[] = u"--create-shortcut";
// WM_COPYDATA's dwData for handed-over paths ("QVHO").
inline constexpr ULONG_PTR kHandOverDataId = 0x5156484F;

// Gives this process the program's taskbar identity.
void SetProcessAppUserModelId();

// Saves at `linkPath` a shortcut to this program, with its icon, a
// description and kAppUserModelId; the failing call's result otherwise.
HRESULT CreateProgramShortcut(const std::u16string& linkPath);
// The shortcut saved at `linkPath`, loaded, and its target (tests).
HRESULT LoadShortcut(const std::u16string& linkPath, ComPtr<IShellLinkW>& link);
std::u16string GetShortcutTarget(IShellLinkW& link);

// The verb's side of the hand-over. Made, it holds the lock (waiting for a
// start still making its window); HandTo gives the paths to a marked window;
// when none takes them, MarkAndRelease marks this start's new window. The
// lock goes with the object in any case.
class CQmVerbHandOver {
public:
    CQmVerbHandOver();
    ~CQmVerbHandOver();
    CQmVerbHandOver(const CQmVerbHandOver&) = delete;
    CQmVerbHandOver& operator=(const CQmVerbHandOver&) = delete;

    // True when a marked window of this desktop took `paths`.
    bool HandTo(std::span<const std::u16string> paths);
    void MarkAndRelease(HWND frame);

private:
    void Release();
    UniqueKernelHandle mutex_;
    bool owned_ = false;
};

// The window's side: whether it is the verb's window, and its mark going
// when it closes (a closing window takes nothing more).
bool IsMarkedFrame(HWND frame);
void UnmarkFrame(HWND frame);

}  // namespace qm::win32
