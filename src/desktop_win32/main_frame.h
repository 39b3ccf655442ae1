// The main window of the Windows program: menu bar, toolbar, three-pane
// status bar and the file list.
//
// CMainFrame draws and forwards. Every decision (task control, command
// states, title, boxes, panes, command line, drops, closing) is
// CQmFrameLogic's; the window implements the logic's host interface and
// hands it every command, worker message, timer tick, drop and close
// request. Menu states are applied when a popup opens (WM_INITMENUPOPUP),
// toolbar states as they change. It is the thread's message filter (the
// accelerators, then the find dialog) and an idle handler.
//
// What a test or a benchmark replaces is in CMainFrameOptions: the clock,
// the new-task dialog, the About box, the chime and the item menu; the
// defaults are the real program's.
#pragma once

#include "desktop_win32/win32_api.h"
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "desktop/frame_host.h"
#include "desktop/frame_logic.h"
#include "desktop_win32/quorvia_view.h"
#include "desktop_win32/taskbar_progress.h"
#include "desktop_win32/win32_handles.h"
#include "desktop_win32/window.h"
#include "pipeline/notify_target.h"

namespace qm::win32 {

class CMainFrame;
class CQmNewTaskDlg;

struct CMainFrameOptions {
    // The command line without the program itself.
    std::vector<std::u16string> arguments;
    // Paths the file manager's verb started the program with: taken as
    // handed over, once the window is made.
    std::vector<std::u16string> handedOverPaths;
    // Milliseconds of a monotonic clock; empty: QueryTickCount64.
    std::function<uint64_t()> clock;
    // Runs the new-task dialog; false when it was cancelled. Empty: the real
    // dialog 201, modal, owned by the active window.
    std::function<bool(CMainFrame&, const std::vector<std::u16string>&, QmNewTaskChoice&)> newTaskDialog;
    // Shows the About box. Empty: the real dialog 100, modal.
    std::function<void(CMainFrame&)> aboutBox;
    // Plays the completion chime. Empty: WAVE 203, asynchronously.
    std::function<void()> completionSound;
    // Chooses from the item context menu. Empty: the real popup menu.
    CQuorviaView::MenuTracker menuTracker;
};

inline constexpr wchar_t kFrameClassName[] = L"Quorvia.MainFrame";
inline constexpr UINT kViewId = 0xE900;  // the client window's child id
inline constexpr UINT kToolbarId = 0xE800;
inline constexpr UINT kStatusBarId = 0xE801;

class CMainFrame : public CQmWindow, private IQmFrameHost, private IQmMessageFilter, private IQmIdleHandler {
public:
    explicit CMainFrame(CMainFrameOptions options = {});
    // Waits for every worker thread still running before the window goes.
    ~CMainFrame() override;

    // Creates and shows the window: menu 128, the bars, the list and the
    // command line; false when the window could not be made.
    bool CreateFrame(int showCommand);

    CQmFrameLogic& Logic() { return *logic_; }
    CQuorviaView& View() { return view_; }
    HWND GetToolbar() const { return toolbar_; }
    HWND GetStatusBar() const { return statusBar_; }
    HWND GetListWindow() const { return view_.GetHwnd(); }
    HACCEL GetAccelerators() const { return accelerators_.Get(); }
    bool IsStayOnTop() const;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCreate();
    void CreateStatusBar();
    void CreateToolbar();
    void LayoutBars();
    void SetPaneWidths();
    void OnInitMenuPopup(HMENU menu);
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    LRESULT OnNotify(NMHDR* header);
    void OnDropFiles(HDROP drop);
    bool OnCopyData(const COPYDATASTRUCT* data);

    // IQmMessageFilter, IQmIdleHandler
    bool PreTranslateMessage(MSG& message) override;
    bool OnIdle() override;

    // IQmFrameHost
    QmWindow GetOwnerWindow() override;
    void SetTitle(std::u16string_view title) override;
    void SetPaneText(int pane, std::u16string_view text) override;
    void SetCommandState(uint32_t id, bool enabled, bool checked) override;
    bool RunNewTaskDialog(const std::vector<std::u16string>& initialPaths, QmNewTaskChoice& choice) override;
    void AddToNewTaskDialog(std::span<const std::u16string> paths) override;
    void RunAboutBox() override;
    bool IsToolbarVisible() override;
    void SetToolbarVisible(bool visible) override;
    bool IsStatusBarVisible() override;
    void SetStatusBarVisible(bool visible) override;
    void SetStayOnTop(bool onTop) override;
    void AcceptDrops() override;
    void BringToFront() override;
    void StartProgressTimer(uint32_t periodMs) override;
    void StopProgressTimer() override;
    void PostCommand(uint32_t id) override;
    void PostClose() override;
    void PlayCompletionSound() override;
    void CreateTaskbarProgress() override;
    void SetTaskbarProgressState(uint32_t flags) override;
    void SetTaskbarProgressValue(uint64_t done, uint64_t total) override;
    uint64_t GetTickCount() override;

    // The worker threads' end messages, posted to the window.
    class WindowTarget : public NotifyTarget {
    public:
        void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
        HWND hwnd = nullptr;
    };

    CMainFrameOptions options_;
    WindowTarget notifyTarget_;
    CQmTaskbarProgress taskbar_;
    CQuorviaView view_;
    HWND toolbar_ = nullptr;
    HWND statusBar_ = nullptr;
    UniqueAccelerators accelerators_;
    UniqueImageList toolbarImages_;
    UniqueIcon largeIcon_;
    UniqueIcon smallIcon_;
    // The state of each command (enabled, checked), applied to its menu
    // item when a popup opens.
    std::map<uint32_t, std::pair<bool, bool>> commandStates_;
    // The panes' texts: what the status bar shows again after a menu's
    // prompts.
    std::u16string paneTexts_[3];
    std::u16string tooltip_;  // the text a tooltip is showing
    CQmNewTaskDlg* newTaskDialog_ = nullptr;  // while it is open
    // Declared last: destroyed (waiting for the threads) before everything
    // the threads' messages could reach.
    std::unique_ptr<CQmFrameLogic> logic_;
};

// Start-up and the message loop of the program: the application's names,
// COM, the common controls, the prompts, the engines and the icon list,
// then the frame; the loop's exit code (1 after a normal close), or 0 when
// the window could not be made.
int RunProgram(std::vector<std::u16string> arguments, int showCommand);

}  // namespace qm::win32
