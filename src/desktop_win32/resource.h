// The ids of the Windows program's resources and of its dialogs' controls,
// shared by quorvia.rc and the code. Command ids are the desktop logic's
// (desktop/command_ids.h); the numbers below repeat none of them.
#pragma once

// Menu, accelerators, toolbar layout and icon of the main window.
#define IDR_MAINFRAME 128
// A hash list's icon, which Explorer shows for the lists the program opens
// (it is named by this id in the registry, so it never changes).
#define IDI_HASH_LIST 129
// The toolbar's eight images.
#define IDB_TOOLBAR 3
// The same at twice the size, for screens of 150 % and more.
#define IDB_TOOLBAR_LARGE 4
// The file list's context menu, and the completion sound.
#define IDR_ITEM_MENU 203
#define IDR_COMPLETE_SOUND 203
// The toolbar resource type.
#define RT_QM_TOOLBAR 241

// The new-task dialog.
#define IDD_NEW_TASK 201
#define IDC_PATH_LIST 1000
#define IDC_ALGORITHM 1001
#define IDC_SUBDIRS 1002
#define IDC_ALGORITHM_LABEL 1004
#define IDC_ADD_DIRECTORY 3
#define IDC_ADD_FILES 4

// The About box.
#define IDD_ABOUT 100
#define IDC_ABOUT_ICON 1010
#define IDC_ABOUT_TEXT 1011
#define IDC_ABOUT_IMAGE1 1012
#define IDC_ABOUT_IMAGE2 1013
#define IDC_ABOUT_LINK 1003
#define IDC_ABOUT_NOTE 1005

// The find dialog: the controls of the system's find box, by their ids.
#define IDD_FIND 204
#define IDC_FIND_LABEL 0x0442
#define IDC_FIND_TEXT 0x0480
#define IDC_FIND_WHOLE_WORD 0x0410
#define IDC_FIND_MATCH_CASE 0x0411
#define IDC_FIND_DIRECTION 0x0430
#define IDC_FIND_UP 0x0420
#define IDC_FIND_DOWN 0x0421
