// The command ids of the main window's menu, toolbar, accelerators and the
// list view's context menu, and the ids of the window's own parts.
//
// The numbers are those the lists and the command-state table were first
// written with; both front ends (the Qt window and any native one) route
// commands by them.
#pragma once

#include <cstdint>

namespace qm {

inline constexpr uint32_t ID_FILE_NEW = 57600;
inline constexpr uint32_t ID_FILE_OPEN = 57601;
inline constexpr uint32_t ID_FILE_SAVE = 57603;
inline constexpr uint32_t ID_FILE_SAVE_AS = 57604;
inline constexpr uint32_t ID_APP_EXIT = 57665;
inline constexpr uint32_t ID_APP_ABOUT = 57664;

inline constexpr uint32_t ID_EDIT_COPY = 57634;
inline constexpr uint32_t ID_EDIT_CUT = 57635;
inline constexpr uint32_t ID_EDIT_FIND = 57636;
inline constexpr uint32_t ID_EDIT_REPEAT = 57640;
inline constexpr uint32_t ID_EDIT_SELECT_ALL = 57642;
inline constexpr uint32_t ID_NEXT_PANE = 57680;
inline constexpr uint32_t ID_PREV_PANE = 57681;

inline constexpr uint32_t ID_VIEW_TOOLBAR = 59392;
inline constexpr uint32_t ID_VIEW_STATUS_BAR = 59393;
inline constexpr uint32_t ID_VIEW_TOPMOST = 32798;
inline constexpr uint32_t ID_VIEW_COLLAPSE_ALL = 32810;
inline constexpr uint32_t ID_VIEW_EXPAND_ALL = 32811;

inline constexpr uint32_t ID_TASK_STOP = 32786;
inline constexpr uint32_t ID_TASK_RELOCATE = 32796;
inline constexpr uint32_t ID_TASK_VERIFY_ALL = 32804;
// The next row whose file is wrong (after a verification) or failed.
inline constexpr uint32_t ID_EDIT_NEXT_PROBLEM = 32815;

// The list view's context menu.
inline constexpr uint32_t ID_ITEM_PROPERTIES = 32776;
inline constexpr uint32_t ID_ITEM_BROWSE = 32779;
inline constexpr uint32_t ID_ITEM_OPEN = 32780;
inline constexpr uint32_t ID_COPY_NAME = 32782;
inline constexpr uint32_t ID_COPY_PATH = 32783;
inline constexpr uint32_t ID_COPY_HASH_TEXT = 32784;
inline constexpr uint32_t ID_COPY_HASH_CODE = 32785;
inline constexpr uint32_t ID_ITEM_VERIFY = 32787;
inline constexpr uint32_t ID_ITEM_REMOVE = 32800;
inline constexpr uint32_t ID_COPY_LINK = 32813;

// Posted by the file list to its frame once it has taken in every item after
// the enumeration ended (FinishAddItems), the frame's own message after the
// three the workers and the list post (WMU_ENUM_DONE ... WMU_UPDATE_TOTALS).
inline constexpr uint32_t WMU_LIST_READY = 0x0400 + 4;

// The window's timer for the progress pane, and its period.
inline constexpr uint32_t kProgressTimerId = 1000;
inline constexpr uint32_t kProgressTimerPeriodMs = 1000;

// The status bar panes.
inline constexpr int kPaneDefault = 0;
inline constexpr int kPaneProgress = 1;
inline constexpr int kPaneTotals = 2;

// Taskbar progress states (the values the taskbar interface takes).
inline constexpr uint32_t kTaskbarNoProgress = 0;
inline constexpr uint32_t kTaskbarNormal = 2;

}  // namespace qm
