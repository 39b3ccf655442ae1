// The main window of the Windows program (see main_frame.h).
#include "desktop_win32/main_frame.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "common/app_info.h"
#include "common/system_info.h"
#include "desktop/launch_paths.h"
#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "document/quorvia_doc.h"
#include "document/task_texts.h"
#include "desktop_win32/dialogs.h"
#include "desktop_win32/icon_cache.h"
#include "desktop_win32/resource.h"
#include "desktop_win32/shell_integration.h"
#include "desktop_win32/shell_services.h"
#include "desktop_win32/win32_prompts.h"
#include "engines/register_engines.h"

namespace qm::win32 {

namespace {

constexpr int kProgressPaneWidth = 380;
constexpr int kTotalsPaneWidth = 500;
constexpr char16_t kDisplayName[] = u"栎弦文件校验工具";

// The toolbar resource: version, button width and height, button count,
// then each button's command (0: a separator).
struct ToolbarResource {
    WORD version;
    WORD width;
    WORD height;
    WORD count;
    WORD items[1];
};

}  // namespace

void CMainFrame::WindowTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    PostMessageW(hwnd, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

CMainFrame::CMainFrame(CMainFrameOptions options)
    : options_(std::move(options)), view_(GetQuorviaDoc()) {
    IQmFrameHost& host = *this;
    logic_ = std::make_unique<CQmFrameLogic>(host, view_.FileList(), &notifyTarget_);
    if (options_.menuTracker) view_.SetMenuTracker(options_.menuTracker);
}

CMainFrame::~CMainFrame() {
    // The runner waits for its threads; their last messages are posted to a
    // window that is gone by then, or is dropped with it.
    logic_.reset();
    Destroy();
}

bool CMainFrame::CreateFrame(int showCommand) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    largeIcon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    if (!RegisterClass(kFrameClassName, largeIcon_.Get(), smallIcon_.Get(), nullptr)) return false;
    const HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    const HWND hwnd = Create(kFrameClassName, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                             WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, menu);
    if (!hwnd) {
        if (menu) DestroyMenu(menu);
        return false;
    }
    accelerators_.Reset(LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    ShowWindow(hwnd, showCommand);
    return true;
}

// --- Creation -----------------------------------------------------------------

bool CMainFrame::OnCreate() {
    notifyTarget_.hwnd = GetHwnd();
    RegisterBuiltInEngines();
    CreateIconList();
    CreateStatusBar();
    CreateToolbar();
    if (!view_.CreateView(GetHwnd(), kViewId)) return false;
    LayoutBars();
    CQmMessageLoop& loop = CQmMessageLoop::ForThread();
    loop.AddFilter(this);
    loop.AddIdleHandler(this);
    logic_->OnCreate(options_.arguments);
    if (!options_.handedOverPaths.empty()) logic_->OnPathsHandedOver(std::move(options_.handedOverPaths));
    return true;
}

void CMainFrame::CreateStatusBar() {
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | SBARS_SIZEGRIP, 0, 0, 0,
                                 0, GetHwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusBarId)),
                                 GetModuleHandleW(nullptr), nullptr);
    SetPaneWidths();
}

// Panes 1 and 2 keep their widths at the right, and no less than their
// longest texts need in the bar's font, so nothing is cut off at any
// resolution; pane 0 takes what is left.
void CMainFrame::SetPaneWidths() {
    if (!statusBar_) return;
    RECT client{};
    GetClientRect(statusBar_, &client);
    int needed[2] = {ScalePixels(kProgressPaneWidth), ScalePixels(kTotalsPaneWidth)};
    const HDC dc = GetDC(statusBar_);
    if (dc) {
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(statusBar_, WM_GETFONT, 0, 0)));
        const std::u16string longest[2] = {GetLongestProgressText() + u"  ", GetLongestTotalsText() + u"  "};
        for (int i = 0; i < 2; ++i) {
            SIZE size{};
            GetTextExtentPoint32W(dc, Wide(longest[i]), static_cast<int>(longest[i].size()), &size);
            needed[i] = std::max<int>(needed[i], size.cx);
        }
        SelectObject(dc, old);
        ReleaseDC(statusBar_, dc);
    }
    const int grip = GetSystemMetrics(SM_CXVSCROLL) + GetSystemMetrics(SM_CXEDGE);
    const int right = std::max<int>(0, client.right - grip);
    int edges[3] = {std::max(0, right - needed[0] - needed[1]), std::max(0, right - needed[1]), -1};
    SendMessageW(statusBar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
}

void CMainFrame::CreateToolbar() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_TOOLTIPS | CCS_TOP,
                               0, 0, 0, 0, GetHwnd(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolbarId)),
                               instance, nullptr);
    if (!toolbar_) return;
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    // The images: the strip of bitmap 3, eight images of 16 x 15 with alpha;
    // on a screen of 150 % and more the same drawn at twice the size.
    const bool large = ScalePixels(16) >= 24;
    toolbarImages_.Reset(ImageList_Create(large ? 32 : 16, large ? 30 : 15, ILC_COLOR32 | ILC_MASK, 10, 5));
    const UniqueBitmap strip(static_cast<HBITMAP>(LoadImageW(
        instance, MAKEINTRESOURCEW(large ? IDB_TOOLBAR_LARGE : IDB_TOOLBAR), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (strip) ImageList_Add(toolbarImages_.Get(), strip.Get(), nullptr);
    const auto previous = reinterpret_cast<HIMAGELIST>(
        SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_.Get())));
    if (previous && previous != toolbarImages_.Get()) ImageList_Destroy(previous);

    // The buttons of toolbar resource 128, with the separator in front.
    std::vector<TBBUTTON> buttons;
    buttons.push_back({4, 0, 0, BTNS_SEP, {}, 0, 0});
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(RT_QM_TOOLBAR));
    const auto* layout = found ? static_cast<const ToolbarResource*>(LockResource(LoadResource(instance, found)))
                               : nullptr;
    int image = 0;
    for (WORD i = 0; layout && i < layout->count; ++i) {
        const WORD id = layout->items[i];
        if (id == 0) {
            buttons.push_back({8, 0, 0, BTNS_SEP, {}, 0, 0});
            continue;
        }
        BYTE state = TBSTATE_ENABLED;
        if (id == ID_TASK_RELOCATE) state |= TBSTATE_HIDDEN;  // made, never shown
        buttons.push_back({image++, id, state, BTNS_BUTTON, {}, 0, 0});
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void CMainFrame::LayoutBars() {
    RECT client{};
    GetClientRect(GetHwnd(), &client);
    if (toolbar_ && IsWindowVisible(toolbar_)) {
        SendMessageW(toolbar_, WM_SIZE, 0, 0);
        SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
        InvalidateRect(toolbar_, nullptr, TRUE);
        RECT bar{};
        GetWindowRect(toolbar_, &bar);
        client.top += bar.bottom - bar.top;
    }
    if (statusBar_ && IsWindowVisible(statusBar_)) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        SetPaneWidths();
        RECT bar{};
        GetWindowRect(statusBar_, &bar);
        client.bottom -= bar.bottom - bar.top;
    }
    if (view_.GetHwnd()) {
        SetWindowPos(view_.GetHwnd(), nullptr, client.left, client.top, client.right - client.left,
                     std::max<LONG>(0, client.bottom - client.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// --- Messages -----------------------------------------------------------------

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_DESTROY: {
        UnmarkFrame(GetHwnd());
        CQmMessageLoop& loop = CQmMessageLoop::ForThread();
        loop.RemoveFilter(this);
        loop.RemoveIdleHandler(this);
        // A top-level frame ends the program; a normal close exits with 1.
        PostQuitMessage(1);
        return 0;
    }
    case WM_CLOSE:
        if (!logic_->QueryClose()) return 0;
        UnmarkFrame(GetHwnd());
        DestroyWindow(GetHwnd());
        return 0;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_QUERYENDSESSION:
        return logic_->QueryClose() ? TRUE : FALSE;
    case WM_COMMAND:
        logic_->OnCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kProgressTimerId) logic_->OnProgressTick();
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WMU_ENUM_DONE:
    case WMU_HASH_DONE:
    case WMU_UPDATE_TOTALS:
    case WMU_LIST_READY:
        logic_->OnNotify(message, static_cast<uintptr_t>(wParam), static_cast<intptr_t>(lParam));
        return 0;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) LayoutBars();
        return DefaultProc(message, wParam, lParam);
    case WM_SETFOCUS:
        if (view_.GetHwnd()) SetFocus(view_.GetHwnd());
        return 0;
    case WM_ERASEBKGND: {
        // The bars and the list cover the frame; what shows through is the
        // toolbar's background, which a themed toolbar asks its parent for.
        RECT client{};
        GetClientRect(GetHwnd(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    default:
        return DefaultProc(message, wParam, lParam);
    }
}

LRESULT CMainFrame::OnNotify(NMHDR* header) {
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        tooltip_ = std::u16string(GetCommandTooltip(static_cast<uint32_t>(header->idFrom)));
        info->lpszText = const_cast<wchar_t*>(Wide(tooltip_));
        info->hinst = nullptr;
        info->uFlags |= TTF_DI_SETITEM;
        return 0;
    }
    // Notifications go back to the control that sent them: the list view
    // handles its own.
    if (header->hwndFrom && header->hwndFrom == view_.GetHwnd()) return view_.OnReflectedNotify(header);
    return 0;
}

void CMainFrame::OnInitMenuPopup(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        const auto state = commandStates_.find(id);
        if (state == commandStates_.end()) continue;
        EnableMenuItem(menu, id, MF_BYCOMMAND | (state->second.first ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, id, MF_BYCOMMAND | (state->second.second ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CMainFrame::OnMenuSelect(UINT item, UINT flags, HMENU menu) {
    if (!statusBar_) return;
    if (flags == 0xFFFF && !menu) {
        // The menu closed: the panes again.
        SendMessageW(statusBar_, SB_SIMPLE, FALSE, 0);
        return;
    }
    std::u16string prompt;
    if (!(flags & (MF_POPUP | MF_SEPARATOR))) prompt = std::u16string(GetCommandPrompt(item));
    SendMessageW(statusBar_, SB_SIMPLE, TRUE, 0);
    SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID | SBT_NOBORDERS, reinterpret_cast<LPARAM>(Wide(prompt)));
}

void CMainFrame::OnDropFiles(HDROP drop) { logic_->OnDropFiles(TakeDroppedPaths(drop)); }

// Paths the verb's later starts hand over. Refused (the sender then opens a
// window of its own) unless this is the verb's window and stays open.
bool CMainFrame::OnCopyData(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != kHandOverDataId || !IsMarkedFrame(GetHwnd()) || logic_->IsClosing()) return false;
    std::optional<std::vector<std::u16string>> paths = UnpackHandedOverPaths(data->lpData, data->cbData);
    if (!paths) return false;
    // Nothing here waits for the user: the dialog is posted, or is open
    // already and takes the paths, so the sender is released at once.
    logic_->OnPathsHandedOver(std::move(*paths));
    return true;
}

bool CMainFrame::PreTranslateMessage(MSG& message) {
    if (accelerators_ && TranslateAcceleratorW(GetHwnd(), accelerators_.Get(), &message)) return true;
    return view_.IsFindDialogMessage(message);
}

// Toolbar states are applied as they change; nothing is left for idle time.
bool CMainFrame::OnIdle() { return false; }

bool CMainFrame::IsStayOnTop() const { return (GetWindowLongPtrW(GetHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// --- IQmFrameHost -------------------------------------------------------------

QmWindow CMainFrame::GetOwnerWindow() { return ToOwner(GetHwnd()); }

void CMainFrame::SetTitle(std::u16string_view title) { SetWindowTextW(GetHwnd(), Wide(std::u16string(title))); }

void CMainFrame::SetPaneText(int pane, std::u16string_view text) {
    if (pane < 0 || pane > 2) return;
    paneTexts_[pane] = text;
    if (statusBar_) {
        SendMessageW(statusBar_, SB_SETTEXTW, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(Wide(paneTexts_[pane])));
    }
}

void CMainFrame::SetCommandState(uint32_t id, bool enabled, bool checked) {
    commandStates_[id] = {enabled, checked};
    if (!toolbar_) return;
    if (SendMessageW(toolbar_, TB_COMMANDTOINDEX, id, 0) < 0) return;
    SendMessageW(toolbar_, TB_ENABLEBUTTON, id, enabled ? TRUE : FALSE);
    SendMessageW(toolbar_, TB_CHECKBUTTON, id, checked ? TRUE : FALSE);
}

bool CMainFrame::RunNewTaskDialog(const std::vector<std::u16string>& initialPaths, QmNewTaskChoice& choice) {
    if (options_.newTaskDialog) return options_.newTaskDialog(*this, initialPaths, choice);
    const HWND active = GetActiveWindow();
    CQmNewTaskDlg dialog(initialPaths);
    newTaskDialog_ = &dialog;
    const bool accepted = dialog.Run(active ? active : GetHwnd(), choice);
    newTaskDialog_ = nullptr;
    return accepted;
}

void CMainFrame::AddToNewTaskDialog(std::span<const std::u16string> paths) {
    if (newTaskDialog_) newTaskDialog_->AddChosenPaths(paths);
}

void CMainFrame::RunAboutBox() {
    if (options_.aboutBox) {
        options_.aboutBox(*this);
        return;
    }
    const HWND active = GetActiveWindow();
    win32::RunAboutBox(active ? active : GetHwnd());
}

bool CMainFrame::IsToolbarVisible() { return toolbar_ && IsWindowVisible(toolbar_); }

void CMainFrame::SetToolbarVisible(bool visible) {
    if (!toolbar_) return;
    ShowWindow(toolbar_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    LayoutBars();
}

bool CMainFrame::IsStatusBarVisible() { return statusBar_ && IsWindowVisible(statusBar_); }

void CMainFrame::SetStatusBarVisible(bool visible) {
    if (!statusBar_) return;
    ShowWindow(statusBar_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    LayoutBars();
}

void CMainFrame::SetStayOnTop(bool onTop) {
    SetWindowPos(GetHwnd(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CMainFrame::AcceptDrops() { DragAcceptFiles(GetHwnd(), TRUE); }

void CMainFrame::BringToFront() {
    const HWND frame = GetHwnd();
    if (IsIconic(frame)) ShowWindow(frame, SW_RESTORE);
    // A dialog or box open over the window comes up with it, not under it.
    SetForegroundWindow(GetLastActivePopup(frame));
}

void CMainFrame::StartProgressTimer(uint32_t periodMs) { SetTimer(GetHwnd(), kProgressTimerId, periodMs, nullptr); }

void CMainFrame::StopProgressTimer() { KillTimer(GetHwnd(), kProgressTimerId); }

void CMainFrame::PostCommand(uint32_t id) { PostMessageW(GetHwnd(), WM_COMMAND, id, 0); }

void CMainFrame::PostClose() { PostMessageW(GetHwnd(), WM_CLOSE, 0, 0); }

void CMainFrame::PlayCompletionSound() {
    if (options_.completionSound) {
        options_.completionSound();
        return;
    }
    PlaySoundW(MAKEINTRESOURCEW(IDR_COMPLETE_SOUND), GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC);
}

void CMainFrame::CreateTaskbarProgress() { taskbar_.CreateProgress(GetHwnd()); }

void CMainFrame::SetTaskbarProgressState(uint32_t flags) { taskbar_.SetProgressState(flags); }

void CMainFrame::SetTaskbarProgressValue(uint64_t done, uint64_t total) { taskbar_.SetProgressValue(done, total); }

uint64_t CMainFrame::GetTickCount() { return options_.clock ? options_.clock() : QueryTickCount64(); }

// --- The program ------------------------------------------------------------

int RunProgram(std::vector<std::u16string> arguments, int showCommand) {
    GetAppInfo().SetNames(kDisplayName, u"Quorvia 2.0", nullptr);
    GetAppInfo().SetTitle(kDisplayName);
    SetProcessAppUserModelId();
    const ComApartment com;
    // The installer's call: the Start-menu shortcut, made by the program
    // itself so it carries the taskbar identity. Exit code 0 when written.
    if (!arguments.empty() && arguments.front() == kCreateShortcutSwitch)
        return arguments.size() == 2 && SUCCEEDED(CreateProgramShortcut(arguments[1])) ? 0 : 2;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS;
    InitCommonControlsEx(&controls);
    CQmWin32Prompts prompts;
    if (!GetUserPrompts()) SetUserPrompts(&prompts);

    int exitCode = 0;
    {
        CMainFrameOptions options;
        // The verb's start: its paths go to the verb's window if one is
        // open, else to a new window that becomes it.
        std::optional<CQmVerbHandOver> handOver;
        if (!arguments.empty() && arguments.front() == kExplorerVerbSwitch) {
            std::vector<std::u16string> paths =
                KeepLaunchArguments(std::span<const std::u16string>(arguments).subspan(1));
            handOver.emplace();
            if (handOver->HandTo(paths)) return 0;
            options.handedOverPaths = std::move(paths);
        } else {
            options.arguments = std::move(arguments);
        }
        CMainFrame frame(std::move(options));
        const bool created = frame.CreateFrame(showCommand);
        if (handOver) {
            if (created) handOver->MarkAndRelease(frame.GetHwnd());
            handOver.reset();
        }
        if (created) exitCode = CQmMessageLoop::ForThread().Run();
        // Leaving this block destroys the frame, whose task runner waits for
        // every worker thread still running: the process-wide document and
        // icon cache go only after the last thread has ended.
    }
    DestroyIconList();
    if (GetUserPrompts() == &prompts) SetUserPrompts(nullptr);
    return exitCode;
}

}  // namespace qm::win32
