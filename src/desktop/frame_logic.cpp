// The main window's decisions (see frame_logic.h).
#include "desktop/frame_logic.h"

#include <algorithm>
#include <utility>

#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "desktop/launch_paths.h"
#include "common/app_info.h"
#include "common/path_util.h"
#include "common/string_util.h"
#include "common/text_format.h"
#include "common/user_prompts.h"
#include "document/quorvia_doc.h"
#include "document/task_texts.h"
#include "document/verify_summary.h"
#include "engines/hash_object.h"

namespace qm {

namespace {

// Sets a flag for as long as it lives.
class CQmScopedFlag {
public:
    explicit CQmScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~CQmScopedFlag() { flag_ = false; }
    CQmScopedFlag(const CQmScopedFlag&) = delete;
    CQmScopedFlag& operator=(const CQmScopedFlag&) = delete;

private:
    bool& flag_;
};

// Filter texts are written with a tab after every string and turned into
// the NUL-separated pairs the file dialog takes.
std::u16string MakeFilter(std::u16string text) {
    ReplaceChar(text, u'\t', u'\0');
    return text;
}

std::u16string OpenListFilter() {
    return MakeFilter(
        u"所有校验文件(*.txt; *.md5; *.sha1)\t*.txt;*.md5;*.sha1\t"
        u"文本文件(*.txt)\t*.txt\t"
        u"MD5文件(*.md5)\t*.md5\t"
        u"SHA1文件(*.sha1)\t*.sha1\t"
        u"所有文件(*.*)\t*.*\t");
}

// Only MD5 and SHA1 lists have a file type of their own.
std::u16string SaveListFilter(int32_t algorithm) {
    std::u16string text = u"文本文件(*.txt)\t*.txt\t";
    if (algorithm == QM_HASH_MD5) text += u"MD5文件(*.md5)\t*.md5\t";
    if (algorithm == QM_HASH_SHA1) text += u"SHA1文件(*.sha1)\t*.sha1\t";
    text += u"所有文件(*.*)\t*.*\t";
    return MakeFilter(std::move(text));
}

}  // namespace

CQmFrameLogic::CQmFrameLogic(IQmFrameHost& host, IQmFrameList& list, NotifyTarget* target)
    : host_(host), list_(list), runner_(target) {
    for (uint32_t id : GetCommandStateRows()) commandStates_[id] = CommandState{};
}

// The runner's destructor asks every thread still there to stop and waits
// until it has ended, so no worker outlives the window's logic.
CQmFrameLogic::~CQmFrameLogic() = default;

void CQmFrameLogic::OnCreate(std::span<const std::u16string> arguments) {
    for (uint32_t id : GetCommandStateRows()) PushCommandState(id);
    SetCheck(ID_VIEW_TOOLBAR, true);
    SetCheck(ID_VIEW_STATUS_BAR, true);
    host_.CreateTaskbarProgress();
    GetQuorviaDoc().Clear();
    ProcessCommandLine(arguments);
    host_.AcceptDrops();
    UpdateTitleAndCommands();
}

void CQmFrameLogic::OnCommand(uint32_t id) {
    switch (id) {
    case ID_FILE_NEW:
        NewTask();
        break;
    case ID_FILE_OPEN:
        OpenHashFile(nullptr, true);
        break;
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS: {
        bool cancelled = false;
        if (SaveDocument(id == ID_FILE_SAVE_AS, cancelled)) UpdateTitleAndCommands();
        break;
    }
    case ID_APP_EXIT:
        host_.PostClose();
        break;
    case ID_APP_ABOUT:
        host_.RunAboutBox();
        break;
    case ID_TASK_VERIFY_ALL:
        VerificationPass(true);
        break;
    case ID_ITEM_VERIFY:
        VerificationPass(false);
        break;
    case ID_TASK_STOP:
        StopTask();
        break;
    case ID_ITEM_REMOVE:
        UpdateTotals();
        UpdateTitleAndCommands();
        break;
    case ID_VIEW_TOPMOST:
        topMost_ = !topMost_;
        SetCheck(ID_VIEW_TOPMOST, topMost_);
        host_.SetStayOnTop(topMost_);
        break;
    case ID_VIEW_TOOLBAR: {
        const bool visible = !host_.IsToolbarVisible();
        host_.SetToolbarVisible(visible);
        SetCheck(ID_VIEW_TOOLBAR, visible);
        break;
    }
    case ID_VIEW_STATUS_BAR: {
        const bool visible = !host_.IsStatusBarVisible();
        host_.SetStatusBarVisible(visible);
        SetCheck(ID_VIEW_STATUS_BAR, visible);
        break;
    }
    default:
        // Find, find next, select all, collapse and expand are the view's;
        // it ignores the rest (copy, cut, the pane keys, relocate).
        list_.OnCommand(id);
        break;
    }
}

void CQmFrameLogic::OnNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    // After the window decided to close during a task nothing may start
    // again; the threads only end.
    if (closing_) return;
    switch (message) {
    case WMU_ENUM_DONE:
        OnEnumDone(wParam, lParam);
        break;
    case WMU_HASH_DONE:
        OnHashDone();
        break;
    case WMU_UPDATE_TOTALS:
        UpdateTotals();
        break;
    case WMU_LIST_READY:
        ContinueEnumDone();
        break;
    default:
        break;
    }
}

void CQmFrameLogic::NewTask() {
    if (runner_.IsRunning()) {
        ShowMessage(Owner(), MB_ICONINFORMATION, kBusyNewTaskText);
        return;
    }
    newTaskPosted_ = false;
    // Paths handed over while the save question is open join the dialog.
    const CQmScopedFlag inNewTask(inNewTask_);
    if (!AskSaveChanges()) {
        pendingPaths_.clear();
        return;
    }
    std::vector<std::u16string> initialPaths = std::move(pendingPaths_);
    pendingPaths_.clear();

    QmNewTaskChoice choice;
    bool accepted = false;
    {
        const CQmScopedFlag inDialog(inNewTaskDialog_);
        accepted = host_.RunNewTaskDialog(initialPaths, choice);
    }
    if (!accepted) return;

    // The rows point at the items the document is about to destroy: they go
    // first, so nothing can reach a freed item, also when the task then
    // fails to start.
    list_.Clear();
    CQmQuorviaDoc& document = GetQuorviaDoc();
    document.Clear();
    host_.SetPaneText(kPaneProgress, {});
    host_.SetPaneText(kPaneTotals, {});
    UpdateTitleAndCommands();

    std::vector<TaskInput> inputs;
    inputs.reserve(choice.chosenPaths.size());
    for (const QmChosenPath& chosen : choice.chosenPaths) inputs.push_back({chosen.path, chosen.isDirectory});
    startTick_ = host_.GetTickCount();
    if (!runner_.StartNewTask(inputs, choice.commonRoot, choice.algorithmId, choice.recurseSubdirectories)) {
        ShowLastError(Owner());
    } else {
        host_.SetPaneText(kPaneTotals, kAddingFilesText);
        lastProcessedBytes_ = 0;
        host_.StartProgressTimer(kProgressTimerPeriodMs);
        list_.BeginAddItems();
    }
    UpdateTitleAndCommands();
}

void CQmFrameLogic::OnEnumDone(uintptr_t wParam, intptr_t lParam) {
    if (runner_.GetPhase() != CQmTaskRunner::Phase::Enumerating || enumEnd_) return;
    // The enumeration thread has appended its last batch and stored the
    // totals before it posted, so the list can take in every row and put the
    // document in its display order before the hashing run reads it. What
    // the list has not taken in yet may be a large part of a fast
    // enumeration; it goes in without holding the window, and the task goes
    // on when the list posts that it is ready.
    enumEnd_ = EnumEnd{wParam, lParam};
    if (list_.FinishAddItems()) ContinueEnumDone();
}

void CQmFrameLogic::ContinueEnumDone() {
    if (!enumEnd_) return;
    const auto [wParam, lParam] = *enumEnd_;
    enumEnd_.reset();
    list_.BeginHashUpdates();
    if (lParam != 0) {
        runner_.OnEnumDone(wParam, lParam);
        host_.StopProgressTimer();
        UpdateTitleAndCommands();
        host_.SetPaneText(kPaneProgress, kUserCancelledText);
        return;
    }
    host_.SetTaskbarProgressState(kTaskbarNormal);
    if (runner_.OnEnumDone(wParam, lParam) == CQmTaskRunner::EnumOutcome::HashingFailed) {
        host_.StopProgressTimer();
        host_.SetTaskbarProgressState(kTaskbarNoProgress);
        list_.EndHashUpdates();
        ShowLastError(Owner());
        UpdateTitleAndCommands();
    }
    // Otherwise the command states stay as the new task left them until the
    // run ends; the timer goes on from the task's start.
}

void CQmFrameLogic::OnHashDone() {
    if (!runner_.OnHashDone()) return;
    host_.StopProgressTimer();
    host_.SetTaskbarProgressState(kTaskbarNoProgress);
    list_.EndHashUpdates();
    std::u16string summary = FormatCompletionSummary(ElapsedSinceStart(), runner_.GetProcessedBytes());
    // After a verification what the user wants to know first is how many
    // files are wrong.
    if (GetQuorviaDoc().IsVerifyMode()) {
        summary += u"，";
        summary += FormatVerifyCounts(CountVerifyResults(GetQuorviaDoc()));
    }
    host_.SetPaneText(kPaneProgress, summary);
    UpdateTitleAndCommands();
    host_.BringToFront();
    host_.PlayCompletionSound();
}

void CQmFrameLogic::VerificationPass(bool allItems) {
    // Both commands are greyed while a task runs; a command that arrives
    // anyway (posted before the task began) changes nothing.
    if (runner_.IsRunning()) return;
    CQmQuorviaDoc& document = GetQuorviaDoc();
    if (!document.AreAllHashed(true) &&
        ShowMessage(Owner(), MB_OKCANCEL | MB_ICONWARNING, kUnhashedVerifyText) != IDOK) {
        return;
    }
    SetCommand(ID_TASK_VERIFY_ALL, false);
    SetCommand(ID_ITEM_VERIFY, false);
    startTick_ = host_.GetTickCount();
    lastProcessedBytes_ = 0;
    if (!runner_.StartVerification(allItems)) {
        ShowLastError(Owner());
        UpdateTitleAndCommands();
        return;
    }
    host_.SetPaneText(kPaneProgress, {});
    list_.BeginHashUpdates();
    host_.StartProgressTimer(kProgressTimerPeriodMs);
    host_.SetTaskbarProgressState(kTaskbarNormal);
    UpdateTitleAndCommands();
}

void CQmFrameLogic::StopTask() {
    // The enumeration has ended and the list is taking in its last rows: a
    // stop now ends the task as a stop during the enumeration does.
    if (enumEnd_) {
        enumEnd_->lParam = 1;
        return;
    }
    // Waits until the enumeration or the reader has ended; the end message
    // then moves the task on as usual.
    runner_.Stop();
}

void CQmFrameLogic::OnProgressTick() {
    if (closing_ || !runner_.IsRunning()) return;
    const uint64_t elapsed = ElapsedSinceStart();
    const bool hashing = runner_.GetPhase() == CQmTaskRunner::Phase::Hashing;
    uint64_t interval = 0;
    // The speed is what the hasher did since the previous tick, shown as a
    // rate per second; before half a second has passed there is none.
    if (hashing && (elapsed == 0 ? 10 : elapsed) > 500) {
        const uint64_t processed = runner_.GetProcessedBytes();
        interval = processed - lastProcessedBytes_;
        lastProcessedBytes_ = processed;
    }
    host_.SetPaneText(kPaneProgress, FormatProgressText(hashing, elapsed, interval));
    if (hashing) host_.SetTaskbarProgressValue(runner_.GetProcessedBytes(), GetQuorviaDoc().GetSelectedBytes());
}

void CQmFrameLogic::UpdateTotals() {
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    host_.SetPaneText(kPaneTotals, FormatTotalsText(document.GetFileCount(), document.GetTotalBytes()));
}

void CQmFrameLogic::UpdateTitleAndCommands() {
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    host_.SetTitle(FormatText(u"%s - %s", document.GetTitle(), GetAppInfo().GetAppTitle()));
    const bool hasRows = list_.GetItemCount() > 0;
    const bool running = runner_.IsRunning();
    for (uint32_t id : {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_EDIT_FIND, ID_TASK_RELOCATE, ID_VIEW_COLLAPSE_ALL,
                        ID_VIEW_EXPAND_ALL}) {
        SetCommand(id, hasRows);
    }
    SetCommand(ID_TASK_STOP, running);
    SetCommand(ID_TASK_VERIFY_ALL, hasRows && !running);
    SetCommand(ID_ITEM_VERIFY, hasRows && !running);
}

bool CQmFrameLogic::AskSaveChanges() {
    CQmQuorviaDoc& document = GetQuorviaDoc();
    if (!document.IsModified()) return true;
    switch (ShowMessageFormat(Owner(), MB_YESNOCANCEL, kSaveChangesFormat, document.GetTitle())) {
    case IDYES: {
        bool cancelled = false;
        return SaveDocument(false, cancelled);
    }
    case IDNO:
        return true;
    default:
        return false;
    }
}

bool CQmFrameLogic::OpenHashFile(const std::u16string* path, bool reportErrors) {
    if (runner_.IsRunning()) {
        ShowMessage(Owner(), MB_ICONINFORMATION, kBusyOpenText);
        return false;
    }
    if (!AskSaveChanges()) return false;
    std::u16string file;
    if (path) {
        file = *path;
    } else if (!ShowFileDialog(Owner(), QmFileDialogMode::Open, u"打开文件校验", OpenListFilter(), nullptr, false,
                               file)) {
        return false;
    }

    // Loading empties the document whether it succeeds or not: the rows of
    // the old items go first.
    list_.Clear();
    bool loaded = false;
    {
        QmWaitCursor wait;
        loaded = GetQuorviaDoc().LoadHashList(file);
    }
    if (!loaded) {
        if (reportErrors) ShowLastError(Owner());
        UpdateTotals();
        UpdateTitleAndCommands();
        return false;
    }
    list_.BeginAddItems();
    list_.EndAddItems();
    list_.BeginHashUpdates();
    list_.EndHashUpdates();
    host_.SetPaneText(kPaneProgress, {});
    UpdateTotals();
    UpdateTitleAndCommands();
    // Lines no reader could parse cost only themselves; the user learns
    // which they were.
    const std::u16string unreadable = FormatUnreadableLinesText(GetQuorviaDoc().GetUnreadableLines());
    if (!unreadable.empty()) ShowMessage(Owner(), MB_ICONWARNING, unreadable);
    return true;
}

bool CQmFrameLogic::SaveDocument(bool saveAs, bool& cancelled) {
    cancelled = false;
    CQmQuorviaDoc& document = GetQuorviaDoc();
    if (saveAs || document.IsModified()) {
        if (!document.AreAllHashed(false) &&
            ShowMessage(Owner(), MB_OKCANCEL | MB_ICONWARNING, kUnhashedSaveText) != IDOK) {
            return false;
        }
        std::u16string name;
        bool chosen = false;
        if (saveAs || !document.HasListPath()) {
            if (document.HasListPath()) {
                name = document.GetListPath();
            } else {
                name = document.GetRootDir();
                PathAppend(name, u"Quorvia");
            }
            if (!ShowFileDialog(Owner(), QmFileDialogMode::Save, u"保存文件校验",
                                SaveListFilter(document.GetAlgorithm()), nullptr, false, name)) {
                cancelled = true;
                UpdateTitleAndCommands();
                return false;
            }
            chosen = true;
        }
        if (!document.SaveHashList(chosen ? &name : nullptr)) {
            ShowLastError(Owner());
            UpdateTitleAndCommands();
            return false;
        }
    }
    UpdateTitleAndCommands();
    return true;
}

bool CQmFrameLogic::QueryClose() {
    if (closing_) return true;
    // A cancelled file dialog or a failed save keeps the window.
    if (!runner_.IsRunning()) return AskSaveChanges();
    if (ShowMessage(Owner(), MB_OKCANCEL | MB_ICONWARNING, kCloseWhileRunningText) != IDOK) return false;
    // The threads are only asked to stop here; the window goes away at once
    // and the runner's destructor waits for them before the document can.
    runner_.StopForClose();
    closing_ = true;
    host_.StopProgressTimer();
    host_.SetTaskbarProgressState(kTaskbarNoProgress);
    return true;
}

void CQmFrameLogic::ProcessCommandLine(std::span<const std::u16string> arguments) {
    pendingPaths_ = KeepLaunchArguments(arguments);
    if (pendingPaths_.size() == 1 && HasHashListExtension(pendingPaths_.front())) {
        const std::u16string path = pendingPaths_.front();
        if (OpenHashFile(&path, false)) {
            pendingPaths_.clear();
        } else {
            // The new-task dialog opens with the file in its list.
            PostNewTask();
        }
    } else if (!pendingPaths_.empty()) {
        PostNewTask();
    }
}

void CQmFrameLogic::PostNewTask() {
    newTaskPosted_ = true;
    host_.PostCommand(ID_FILE_NEW);
}

void CQmFrameLogic::OnPathsHandedOver(std::vector<std::u16string> paths) {
    if (closing_) return;
    host_.BringToFront();
    if (paths.empty()) return;
    if (inNewTaskDialog_) {
        host_.AddToNewTaskDialog(paths);
        return;
    }
    for (std::u16string& path : paths) {
        if (std::find(pendingPaths_.begin(), pendingPaths_.end(), path) == pendingPaths_.end())
            pendingPaths_.push_back(std::move(path));
    }
    // A running task keeps them for the next new-task dialog; a dialog on
    // its way takes them when it opens.
    if (!runner_.IsRunning() && !newTaskPosted_ && !inNewTask_) PostNewTask();
}

void CQmFrameLogic::OnDropFiles(std::vector<std::u16string> paths) {
    pendingPaths_ = std::move(paths);
    if (runner_.IsRunning()) {
        pendingPaths_.clear();
        ShowMessage(Owner(), MB_ICONINFORMATION, kBusyNewTaskText);
        return;
    }
    host_.BringToFront();
    if (ShouldProbeDroppedFile(pendingPaths_)) {
        bool isList = false;
        {
            QmWaitCursor wait;
            // A scratch document, so a file that is no list leaves the
            // user's document as it is.
            CQmQuorviaDoc scratch;
            isList = scratch.LoadHashList(pendingPaths_.front());
        }
        if (isList) {
            // The path stays pending: the next new task starts with it.
            const std::u16string path = pendingPaths_.front();
            OpenHashFile(&path, true);
            return;
        }
    }
    PostNewTask();
}

CQmFrameLogic::CommandState CQmFrameLogic::GetCommandState(uint32_t id) const {
    const auto found = commandStates_.find(id);
    return found == commandStates_.end() ? CommandState{} : found->second;
}

void CQmFrameLogic::SetCommand(uint32_t id, bool enabled) {
    CommandState& state = commandStates_[id];
    if (state.enabled == enabled) return;
    state.enabled = enabled;
    PushCommandState(id);
}

void CQmFrameLogic::SetCheck(uint32_t id, bool checked) {
    CommandState& state = commandStates_[id];
    if (state.checked == checked) return;
    state.checked = checked;
    PushCommandState(id);
}

void CQmFrameLogic::PushCommandState(uint32_t id) {
    const CommandState& state = commandStates_[id];
    host_.SetCommandState(id, state.enabled, state.checked);
}

uint64_t CQmFrameLogic::ElapsedSinceStart() { return host_.GetTickCount() - startTick_; }

}  // namespace qm
