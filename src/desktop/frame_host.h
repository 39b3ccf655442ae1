// What the main window's logic asks of the window that shows it.
//
// CQmFrameLogic decides; the window draws and forwards. Everything the logic
// needs from the window toolkit goes through this small interface, so the
// logic runs without any toolkit (a native front end implements it as well,
// and the tests implement it with a recording fake). Boxes and file dialogs
// do not go through here: the logic calls user_prompts.h directly.
//
// Every call is made on the user-interface thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_prompts.h"
#include "document/task_paths.h"

namespace qm {

// What the new-task dialog hands over when it ends with OK.
struct QmNewTaskChoice {
    int32_t algorithmId = 0;
    bool recurseSubdirectories = true;
    std::vector<QmChosenPath> chosenPaths;
    std::u16string commonRoot;
};

// What the frame asks of its file list (CQmFileList; tests put a recording
// stand-in in its place).
class IQmFrameList {
public:
    virtual ~IQmFrameList() = default;
    // The number of file rows.
    virtual size_t GetItemCount() const = 0;
    virtual void BeginAddItems() = 0;
    virtual void EndAddItems() = 0;
    // The end of an enumeration: takes in what is left without holding the
    // window (in slices when that is much), then ends adding as EndAddItems
    // does. True when it is done at once; otherwise the list posts
    // WMU_LIST_READY to the frame when it is.
    virtual bool FinishAddItems() = 0;
    virtual void BeginHashUpdates() = 0;
    virtual void EndHashUpdates() = 0;
    // Drops every row at once (the rows point at items about to go away).
    virtual void Clear() = 0;
    // A command the list handles (select all, collapse, expand, find, find
    // next, the item commands); false for one it does not know.
    virtual bool OnCommand(uint32_t id) = 0;
};

class IQmFrameHost {
public:
    virtual ~IQmFrameHost() = default;

    // The window as owner of boxes and dialogs.
    virtual QmWindow GetOwnerWindow() = 0;
    virtual void SetTitle(std::u16string_view title) = 0;
    // Panes 0, 1 (progress) and 2 (totals) of the status bar.
    virtual void SetPaneText(int pane, std::u16string_view text) = 0;
    // The state of a command's menu item and toolbar button.
    virtual void SetCommandState(uint32_t id, bool enabled, bool checked) = 0;

    // Modal dialogs. RunNewTaskDialog is false when the dialog was cancelled.
    virtual bool RunNewTaskDialog(const std::vector<std::u16string>& initialPaths, QmNewTaskChoice& choice) = 0;
    // Adds `paths` to the new-task dialog now open, selected, as its own
    // buttons add paths (a path listed already is selected again).
    virtual void AddToNewTaskDialog(std::span<const std::u16string> paths) = 0;
    virtual void RunAboutBox() = 0;

    // The window's own parts.
    virtual bool IsToolbarVisible() = 0;
    virtual void SetToolbarVisible(bool visible) = 0;
    virtual bool IsStatusBarVisible() = 0;
    virtual void SetStatusBarVisible(bool visible) = 0;
    // Keeps the window above others (or not) without moving, resizing,
    // showing or hiding it.
    virtual void SetStayOnTop(bool onTop) = 0;
    virtual void AcceptDrops() = 0;
    virtual void BringToFront() = 0;

    // The progress timer (kProgressTimerId); the window calls
    // CQmFrameLogic::OnProgressTick on each expiry.
    virtual void StartProgressTimer(uint32_t periodMs) = 0;
    virtual void StopProgressTimer() = 0;

    // Queues a command for the window's event loop; it reaches
    // CQmFrameLogic::OnCommand after the current handler has returned.
    virtual void PostCommand(uint32_t id) = 0;
    // Asks the window to close; the close decision follows from the loop.
    virtual void PostClose() = 0;

    // The completion chime, played without waiting for it.
    virtual void PlayCompletionSound() = 0;
    // The desktop's taskbar progress; failures are only recorded.
    virtual void CreateTaskbarProgress() = 0;
    virtual void SetTaskbarProgressState(uint32_t flags) = 0;
    virtual void SetTaskbarProgressValue(uint64_t done, uint64_t total) = 0;

    // Milliseconds of a monotonic clock.
    virtual uint64_t GetTickCount() = 0;
};

}  // namespace qm
