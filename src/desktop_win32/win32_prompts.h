// The real message boxes, file dialogs, folder picker and wait cursor of the
// Windows program, installed as the process-wide prompts at start-up:
// MessageBoxW, GetOpenFileNameW / GetSaveFileNameW with a hook that centres
// the dialog over its owner, and SHBrowseForFolderW.
#pragma once

#include "desktop_win32/win32_api.h"

#include "common/user_prompts.h"

namespace qm::win32 {

class CQmWin32Prompts : public CQmUserPrompts {
public:
    int MessageBox(const QmMessageBoxRequest& request) override;
    bool FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) override;
    bool FolderDialog(QmWindow owner, std::u16string_view title, std::u16string& path) override;
    void SetWaitCursor(bool on) override;

private:
    int waitDepth_ = 0;
    HCURSOR previousCursor_ = nullptr;
};

inline QmWindow ToOwner(HWND hwnd) { return hwnd; }
inline HWND FromOwner(QmWindow owner) { return static_cast<HWND>(owner); }

// Places `window` centred over `owner`, or on the work area of the owner's
// monitor when the owner is hidden or minimised, always inside that area.
void CentreOverOwner(HWND window, HWND owner);

}  // namespace qm::win32
