// The file list's behaviour, whichever window shows it.
//
// CQmFileList keeps the list model in step with the hash document and the
// workers, and carries out what the user asks of the list:
//   - the add tick: while the enumeration appends items to the document,
//     every half second the new items go into the model in batches of 100
//     (a time budget per slice, the rest in further slices at once, so the
//     window answers between them); at the enumeration's end what is left
//     goes in the same way before the rows are sorted, so a large tree never
//     holds the window for all of it at once;
//   - the update tick: while the reader and hasher run, the hash or
//     verification cell of each item that changed is rewritten, walking the
//     document from the first unfinished item that takes part;
//   - sorting by a column, folding, selecting all, the find search, the item
//     commands of the context menu (open, show, properties, the copy texts,
//     verify, remove) and a double-click.
// The window draws and forwards: it runs the two timers and the slices the
// list asks for, hands in clicks and commands, and does what only a toolkit
// can (the clipboard, the shell, scrolling) through IQmFileListHost. Boxes
// go through the process-wide user prompts.
//
// The frame calls, for a new task: BeginAddItems, then (enumeration done)
// FinishAddItems and, once that is done, BeginHashUpdates, then (hashing
// done) EndHashUpdates; for a
// loaded list all four in a row; for a verification pass BeginHashUpdates and
// EndHashUpdates. After the document was emptied without a new task (a
// failed load or task start) the frame calls Clear, so that no row keeps a
// pointer to a freed item.
//
// User-interface thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_prompts.h"
#include "desktop/find_logic.h"
#include "desktop/frame_host.h"
#include "desktop/list_model.h"

namespace qm {

class CQmQuorviaDoc;
class CQmQuorviaItem;

// The period of both ticks, in milliseconds.
inline constexpr uint32_t kListTickMilliseconds = 500;
// Items taken from the document per batch.
inline constexpr size_t kListBatchSize = 100;
// The timers of the list (the ids its windows give them).
inline constexpr uint32_t kAddTimerId = 1000;
inline constexpr uint32_t kUpdateTimerId = 2000;

inline constexpr std::u16string_view kRemoveQuestion = u"确定删除选定的文件项吗(文件不会被删除)?";

class IQmFileListHost {
public:
    virtual ~IQmFileListHost() = default;
    // The list window as owner of boxes.
    virtual QmWindow GetListWindow() = 0;
    // The two ticks' timers (kAddTimerId, kUpdateTimerId): each expiry calls
    // RunAddTick or RunUpdateTick.
    virtual void StartTimer(uint32_t id, uint32_t periodMs) = 0;
    virtual void StopTimer(uint32_t id) = 0;
    // Calls RunAddTick again from the event loop as soon as it is idle;
    // CancelAddSlice takes that back.
    virtual void ScheduleAddSlice() = 0;
    virtual void CancelAddSlice() = 0;
    // Tells the frame, through its event queue, that the totals changed
    // (an item's size changed when the reader opened it).
    virtual void PostTotalsChanged() = 0;
    // Posts a command to the frame (the end of verify and remove).
    virtual void PostFrameCommand(uint32_t id) = 0;
    // Posts WMU_LIST_READY to the frame (the end of FinishAddItems).
    virtual void PostListReady() = 0;
    // Makes `item`'s row the current one and scrolls it into view (its group
    // is unfolded already).
    virtual void ScrollToItem(const CQmQuorviaItem* item) = 0;

    // The find dialog: open it showing `settings`, or bring it to the front.
    virtual void ShowFindDialog(const QmFindSettings& settings, bool open) = 0;
    // The open find dialog as owner of boxes, or null.
    virtual QmWindow GetFindDialogWindow() = 0;

    // What the desktop does for the item commands. Each records its failure
    // in the calling thread's error record and returns false.
    virtual bool OpenWithShell(std::u16string_view path) = 0;
    virtual bool ShowInFolder(std::u16string_view path) = 0;
    virtual bool ShowProperties(const std::vector<std::u16string>& paths) = 0;
    virtual bool CopyToClipboard(std::u16string_view text) = 0;
};

// What the item context menu holds for the current selection.
struct QmItemMenuState {
    bool showLink = false;      // "文件链接": the list is of the 115 link hash
    bool verifyEnabled = true;  // "校验文件": grey while a task runs
    bool removeEnabled = true;  // "删除文件项(&D)": grey while a task runs
};

class CQmFileList : public IQmFrameList {
public:
    CQmFileList(CQmQuorviaDoc& doc, IQmFileListHost& host);
    CQmFileList(const CQmFileList&) = delete;
    CQmFileList& operator=(const CQmFileList&) = delete;

    CQmListModel& GetModel() { return model_; }
    const CQmListModel& GetModel() const { return model_; }
    CQmQuorviaDoc& GetDocument() const { return doc_; }

    // --- The frame's calls.
    void BeginAddItems() override;
    void EndAddItems() override;
    bool FinishAddItems() override;
    void BeginHashUpdates() override;
    void EndHashUpdates() override;
    // Drops every row at once and stops both ticks.
    void Clear() override;
    size_t GetItemCount() const override { return model_.GetFileCount(); }
    // Select all, collapse all, expand all, find, find next, the next
    // problem and the item commands.
    bool OnCommand(uint32_t id) override;

    // --- The ticks, as their timers fire.
    // Takes in waiting items until the document has no more or the slice's
    // budget is spent; what is left is taken in by a further slice.
    void RunAddTick();
    // The add tick's budget per slice (30 ms unless set; tests set 0).
    void SetAddTickBudget(std::chrono::milliseconds budget) { addBudget_ = budget; }
    void RunUpdateTick();
    bool IsAdding() const { return adding_; }
    bool IsFinishingAdd() const { return finishing_; }
    bool IsUpdating() const { return updating_; }

    // --- Input.
    // A click on the header of `column` (the wait cursor while it sorts).
    void OnColumnClick(int column);
    // A row was activated (double-click, Enter): a header folds or unfolds
    // its group, a file is opened with the desktop.
    void OnActivate(QmListRow row);
    // Whether a context menu opens at all (some file row is selected), and
    // what it holds.
    bool HasItemMenu() const { return model_.GetSelectedRowCount() > 0; }
    QmItemMenuState GetItemMenuState() const;

    // --- The item commands on the selected rows, in row order.
    void RunItemCommand(uint32_t id);

    // --- Find.
    // The find dialog asked for a search with its settings.
    void OnFindDialogNext(const QmFindSettings& settings);
    void OnFindDialogClosed() { find_.OnDialogClosed(); }
    const CQmFindState& GetFindState() const { return find_; }

    // Removes `items` from the document and their rows from the list (the
    // rows go first, while the items still exist). The number of items the
    // document held and removed.
    size_t RemoveItems(std::span<CQmQuorviaItem* const> items);

private:
    // Takes in waiting items in batches, all of them or until `budget` is
    // spent; true when items may be left.
    bool TakeInItems(std::optional<std::chrono::milliseconds> budget);
    // Every item is in: the rows are sorted, the document takes their order
    // and the update tick starts.
    void CompleteAddItems();
    void ForEachSelectedFile(bool (IQmFileListHost::*action)(std::u16string_view path));
    void ShowProperties();
    void CopySelected(uint32_t id);
    void VerifySelected();
    void RemoveSelected();
    void FindCommand();
    void FindNextCommand();
    void NextProblem();
    void SearchNext();
    QmWindow Owner() { return host_.GetListWindow(); }

    CQmQuorviaDoc& doc_;
    IQmFileListHost& host_;
    CQmListModel model_;
    CQmFindState find_;
    // Index into the document of the next item the running tick looks at.
    size_t cursor_ = 0;
    bool adding_ = false;
    bool finishing_ = false;  // FinishAddItems is taking in the rest in slices
    bool updating_ = false;
    std::chrono::milliseconds addBudget_{30};
};

}  // namespace qm
