// The main window: menu, toolbar, three-pane status bar and the file list.
//
// CMainFrame draws and forwards. Every decision (task control, command
// states, title, boxes, panes, command line, drops, closing) is
// CQmFrameLogic's; the window implements the logic's host interface and
// hands it every command, worker message, timer tick, drop and close
// request. One QAction per command id (the id in QAction::data()).
//
// What a test or a benchmark replaces is in CMainFrameOptions: the clock,
// the new-task dialog, the About box and the chime; the defaults are the
// real program's.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "desktop_qt/completion_sound.h"
#include "desktop/frame_host.h"
#include "desktop/frame_logic.h"
#include "desktop_qt/qt_notify_target.h"
#include "desktop_qt/taskbar_progress.h"

class QAction;
class QLabel;
class QToolBar;

namespace qm {

class CMainFrame;
class CQuorviaView;
class CQmNewHashDlg;

struct CMainFrameOptions {
    // The command line without the program itself.
    std::vector<std::u16string> arguments;
    // Milliseconds of a monotonic clock; empty: QueryTickCount64.
    std::function<uint64_t()> clock;
    // Runs the new-task dialog; false when it was cancelled. Empty: the
    // real CQmNewHashDlg, modal, owned by the active window.
    std::function<bool(CMainFrame&, const std::vector<std::u16string>&, QmNewTaskChoice&)> newTaskDialog;
    // Shows the About box. Empty: the real CAboutDlg, modal.
    std::function<void(CMainFrame&)> aboutBox;
    // Plays the completion chime. Empty: the program's own chime.
    std::function<void()> completionSound;
};

class CMainFrame : public QMainWindow, private IQmFrameHost {
    Q_OBJECT
public:
    explicit CMainFrame(CMainFrameOptions options = {}, QWidget* parent = nullptr);
    // Waits for every worker thread still running before the window goes.
    ~CMainFrame() override;

    CQmFrameLogic& Logic() { return *logic_; }
    CQuorviaView* View() const { return view_; }
    QToolBar* ToolBar() const { return toolBar_; }
    // The action of command `id`, or null for an id without one.
    QAction* Action(uint32_t id) const;
    QString PaneText(int pane) const;
    bool IsProgressTimerActive() const { return progressTimer_.isActive(); }
    bool IsStayOnTop() const;

    // The close decision alone (no window is closed): for the session
    // manager asking whether the session may end.
    bool QueryClose() { return logic_->QueryClose(); }

signals:
    // The window decided to close and was closed; the program then ends.
    void closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildToolBar();
    void NameToolbarButtons();
    void BuildStatusBar();
    void BuildAccelerators();
    QAction* MakeAction(uint32_t id);

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

    CMainFrameOptions options_;
    CQmQtNotifyTarget notifyTarget_;
    CQmTaskbarProgress taskbar_;
    std::unique_ptr<CQmCompletionSound> sound_;  // made on the first chime
    QTimer progressTimer_;
    CQuorviaView* view_ = nullptr;  // the central widget
    QToolBar* toolBar_ = nullptr;
    QLabel* panes_[3] = {};
    CQmNewHashDlg* newTaskDialog_ = nullptr;  // while it is open
    std::map<uint32_t, QAction*> actions_;
    // Declared last: destroyed (waiting for the threads) before everything
    // the threads' messages could reach.
    std::unique_ptr<CQmFrameLogic> logic_;
};

}  // namespace qm
