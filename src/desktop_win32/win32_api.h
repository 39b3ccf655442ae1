// The system's headers as every file of the Windows program takes them.
//
// The system maps MessageBox to MessageBoxW by a macro, which would rename
// the prompts' own MessageBox in these files only; the program always says
// MessageBoxW where it means the system's, so the macro goes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#undef MessageBox
