// The main window's file list on Windows: a virtual report list view
// (LVS_OWNERDATA) over the list model's flat form.
//
// Each directory group is a header row (folder image, the directory, a fold
// mark) drawn by the view itself, followed by its files unless it is
// folded; a click on a header, Enter, Left and Right on it, and the two
// commands fold and unfold. Texts are handed out on demand
// (LVN_GETDISPINFOW) from the model, so a million rows cost the control
// nothing per row. Everything the list decides is CQmFileList's
// (desktop/file_list.h): the ticks, sorting, folding, the selection, find
// and the item commands. This view draws, runs the timers the list asks
// for, forwards clicks, keys and menu choices, mirrors the list model's
// selection (the control keeps its own by row number, so after rows move it
// is made the model's again), and does for the list what only Windows can
// (the clipboard, the shell, scrolling).
//
// The frame reflects the list's notifications back to it (WM_NOTIFY +
// 0x2000). User-interface thread only.
#pragma once

#include "desktop_win32/win32_api.h"
#include <commctrl.h>
#include <commdlg.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/file_list.h"
#include "desktop_win32/win32_handles.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

class CQmFindDlg;

// A notification reflected back to the control that sent it.
inline constexpr UINT kReflectedNotify = WM_NOTIFY + 0x2000;

class CQuorviaView : public CQmWindow, private IQmFileListHost, private IQmListObserver {
public:
    // Chooses the command of the item context menu at `at` (screen
    // coordinates); 0 for none. Tests answer it without showing the menu.
    using MenuTracker = std::function<UINT(HMENU menu, POINT at)>;

    explicit CQuorviaView(CQmQuorviaDoc& doc);
    ~CQuorviaView() override;

    // Creates the list control as a child of `frame`, which receives the
    // list's posts (its commands, the totals, the list being ready).
    bool CreateView(HWND frame, UINT id);
    CQmFileList& FileList() { return list_; }
    void SetMenuTracker(MenuTracker tracker) { menuTracker_ = std::move(tracker); }

    // A reflected WM_NOTIFY.
    LRESULT OnReflectedNotify(NMHDR* header);
    // The find dialog's keys, while it is open.
    bool IsFindDialogMessage(MSG& message);
    // The item context menu as it would open now (nothing selected: none).
    UniqueMenu BuildItemMenu();
    // The find dialog, once it was opened.
    CQmFindDlg* GetFindDialog() const { return findDlg_.get(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetUpColumns();
    LRESULT OnGetDispInfo(NMLVDISPINFOW* info);
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    void DrawHeaderRow(HDC dc, int index, const QmListRow& row, UINT state);
    void OnItemChanged(const NMLISTVIEW* change);
    void OnStateRangeChanged(const NMLVODSTATECHANGE* change);
    bool OnKeyDown(WPARAM key);
    bool OnLeftButton(LPARAM lParam);
    void ShowContextMenu(LPARAM lParam);
    void OnFindNotify(const FINDREPLACEW& record);
    int FocusedIndex() const;
    // The control's row count, selection and arrows as the model says.
    void SyncCount();
    void ScheduleCountSync();
    void ApplySelection();
    void ScheduleSelectionSync();
    void ApplySortArrows();
    void ApplyHashTitle();

    // IQmFileListHost
    QmWindow GetListWindow() override;
    void StartTimer(uint32_t id, uint32_t periodMs) override;
    void StopTimer(uint32_t id) override;
    void ScheduleAddSlice() override;
    void CancelAddSlice() override;
    void PostTotalsChanged() override;
    void PostFrameCommand(uint32_t id) override;
    void PostListReady() override;
    void ScrollToItem(const CQmQuorviaItem* item) override;
    void ShowFindDialog(const QmFindSettings& settings, bool open) override;
    QmWindow GetFindDialogWindow() override;
    bool OpenWithShell(std::u16string_view path) override;
    bool ShowInFolder(std::u16string_view path) override;
    bool ShowProperties(const std::vector<std::u16string>& paths) override;
    bool CopyToClipboard(std::u16string_view text) override;

    // IQmListObserver
    void OnListChanging(const QmListChange& change) override;
    void OnListChanged(const QmListChange& change) override;

    CQmFileList list_;
    HWND frame_ = nullptr;
    MenuTracker menuTracker_;
    std::unique_ptr<CQmFindDlg> findDlg_;
    UniqueFont headerFont_;
    bool slicePending_ = false;
    bool selectionSyncPending_ = false;
    bool countDirty_ = false;  // the control's row count is behind the model's
    // Set while the control's selection is being made the model's.
    bool applyingSelection_ = false;
    // The text handed to the control by the last LVN_GETDISPINFOW.
    std::u16string dispText_;
};

}  // namespace qm::win32
