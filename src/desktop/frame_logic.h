// The main window's decisions: task control, the command-state table, the
// title, the status panes, the command line and drops, opening and saving
// lists, and the close decision.
//
// CQmFrameLogic drives one CQmTaskRunner over the process-wide document and
// talks to its window only through IQmFrameHost, so it runs and is tested
// without a window toolkit. The window forwards to it: every command
// (OnCommand), the worker threads' end messages as they come back through its
// NotifyTarget (OnNotify), the progress timer (OnProgressTick), drops
// (OnDropFiles) and close requests (QueryClose).
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "desktop/frame_host.h"
#include "pipeline/notify_target.h"
#include "pipeline/task_runner.h"

namespace qm {

// The message boxes of the main window.
inline constexpr std::u16string_view kBusyNewTaskText = u"当前正在计算文件校验，因此暂不能创建新的任务。";
inline constexpr std::u16string_view kBusyOpenText = u"当前正在计算文件校验，因此暂不能进行打开文件操作。";
inline constexpr std::u16string_view kSaveChangesFormat = u"是否将更改保存到 %s ?";
inline constexpr std::u16string_view kUnhashedSaveText =
    u"由于部分文件未完成初始哈希计算，因此这些文件项将不能进行文件保存操作。";
inline constexpr std::u16string_view kUnhashedVerifyText =
    u"由于部分文件未完成初始哈希计算，因此这些文件将不能进行文件校验操作。";
inline constexpr std::u16string_view kCloseWhileRunningText = u"文件还在处理中，是否不保存直接退出?";
inline constexpr std::u16string_view kAddingFilesText = u"正在添加文件列表";
inline constexpr std::u16string_view kUserCancelledText = u"用户已取消";

class CQmFrameLogic {
public:
    struct CommandState {
        bool enabled = true;
        bool checked = false;
    };

    // `target` receives the worker threads' end messages (the window's
    // event queue); it must outlive this object, whose destructor waits for
    // every thread still running. `list` is the window's file list.
    CQmFrameLogic(IQmFrameHost& host, IQmFrameList& list, NotifyTarget* target);
    ~CQmFrameLogic();
    CQmFrameLogic(const CQmFrameLogic&) = delete;
    CQmFrameLogic& operator=(const CQmFrameLogic&) = delete;

    // The window's parts exist: the bar rows checked, the taskbar progress
    // made, the document cleared, the command line taken (arguments without
    // the program), drops accepted, title and commands set.
    void OnCreate(std::span<const std::u16string> arguments);

    // A command of the menu, the toolbar, an accelerator or the list view.
    void OnCommand(uint32_t id);
    // A message the worker threads or the list view posted
    // (WMU_ENUM_DONE, WMU_HASH_DONE, WMU_UPDATE_TOTALS).
    void OnNotify(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // The progress timer fired.
    void OnProgressTick();
    // Local files dropped onto the window.
    void OnDropFiles(std::vector<std::u16string> paths);
    // Absolute paths another start of the program handed to this window
    // (the file manager starts one process per chosen item): they go to the
    // new-task dialog, the one open, the one about to open, or else a new
    // one; during a task they wait for the next new-task dialog. Lists among
    // them are hashed like any file, never opened.
    void OnPathsHandedOver(std::vector<std::u16string> paths);
    // The window is asked to close: true to close, false to stay. After a
    // true answer during a task the threads are asked to stop and every
    // later message is ignored; the destructor waits for them.
    bool QueryClose();

    // The command line (already without the program itself).
    void ProcessCommandLine(std::span<const std::u16string> arguments);
    bool OpenHashFile(const std::u16string* path, bool reportErrors);
    bool SaveDocument(bool saveAs, bool& cancelled);
    void UpdateTotals();
    void UpdateTitleAndCommands();

    // For the window and for tests.
    const std::vector<std::u16string>& GetPendingPaths() const { return pendingPaths_; }
    CommandState GetCommandState(uint32_t id) const;
    const CQmTaskRunner& GetRunner() const { return runner_; }
    bool IsRunning() const { return runner_.IsRunning(); }
    bool IsClosing() const { return closing_; }

private:
    void NewTask();
    void PostNewTask();
    void VerificationPass(bool allItems);
    void StopTask();
    void OnEnumDone(uintptr_t wParam, intptr_t lParam);
    // The rest of the enumeration's end, once the list has every row.
    void ContinueEnumDone();
    void OnHashDone();
    // Asks whether to save a modified document (before a new task, an open
    // and a close); false when the caller is to stop, or the window to stay
    // (Cancel, or a save that did not happen).
    bool AskSaveChanges();
    void SetCommand(uint32_t id, bool enabled);
    void SetCheck(uint32_t id, bool checked);
    void PushCommandState(uint32_t id);
    uint64_t ElapsedSinceStart();
    QmWindow Owner() { return host_.GetOwnerWindow(); }

    IQmFrameHost& host_;
    IQmFrameList& list_;
    CQmTaskRunner runner_;
    std::vector<std::u16string> pendingPaths_;
    uint64_t startTick_ = 0;
    uint64_t lastProcessedBytes_ = 0;
    bool topMost_ = false;
    bool closing_ = false;
    // A posted ID_FILE_NEW not yet run; inside NewTask; its dialog open.
    bool newTaskPosted_ = false;
    bool inNewTask_ = false;
    bool inNewTaskDialog_ = false;
    // The enumeration's end message while the list takes in its last rows.
    struct EnumEnd {
        uintptr_t wParam;
        intptr_t lParam;
    };
    std::optional<EnumEnd> enumEnd_;
    std::map<uint32_t, CommandState> commandStates_;
};

}  // namespace qm
