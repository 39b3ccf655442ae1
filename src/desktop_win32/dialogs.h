// The modal dialogs of the Windows program: the new-task dialog (dialog
// 201) and the About box (dialog 100).
//
// The new-task dialog shows and forwards; what it lists, which algorithm it
// starts with and the checks on OK are the desktop logic's
// (CQmNewTaskDialogLogic), so it decides exactly as the Linux program's.
#pragma once

#include "desktop_win32/win32_api.h"

#include <span>
#include <string>
#include <vector>

#include "desktop/frame_host.h"
#include "desktop/new_task_dialog.h"

namespace qm::win32 {

class CQmNewTaskDlg {
public:
    explicit CQmNewTaskDlg(std::span<const std::u16string> initialPaths) : logic_(initialPaths) {}
    // Runs the dialog owned by `owner`; true when it ended with OK, and then
    // `choice` holds what it hands over.
    bool Run(HWND owner, QmNewTaskChoice& choice);

    // Adds `paths`, selected, after clearing the selection, as its Add
    // buttons and drops do.
    void AddChosenPaths(std::span<const std::u16string> paths);

    // While it runs (tests): the dialog and its logic.
    HWND GetHwnd() const { return hwnd_; }
    CQmNewTaskDialogLogic& Logic() { return logic_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    // The list shows the logic's paths and selection, and the logic takes
    // the list's selection.
    void ShowPaths();
    void TakeSelection();
    void Layout(int width, int height);
    void OnOk();

    CQmNewTaskDialogLogic logic_;
    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    HWND grip_ = nullptr;
    SIZE initialSize_{};
    SIZE clientAtStart_{};
    struct Anchor {
        int id;
        RECT rect;  // in the client area as first laid out
    };
    std::vector<Anchor> anchors_;
};

// The About box, modal, owned by `owner`.
void RunAboutBox(HWND owner);

// The text of a dialog's control.
std::u16string GetControlText(HWND dialog, int id);

}  // namespace qm::win32
