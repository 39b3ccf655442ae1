// The progress shown on the taskbar button of the main window
// (ITaskbarList3). Failures are only recorded in the calling thread's error
// record, never shown.
#pragma once

#include "desktop_win32/win32_api.h"
#include <shobjidl.h>

#include <cstdint>

#include "desktop_win32/win32_handles.h"

namespace qm::win32 {

class CQmTaskbarProgress {
public:
    // Takes the taskbar interface for `window`; false (recorded) without one.
    bool CreateProgress(HWND window);
    bool SetProgressState(uint32_t flags);
    bool SetProgressValue(uint64_t done, uint64_t total);

private:
    bool Ready();

    HWND window_ = nullptr;
    ComPtr<ITaskbarList3> taskbar_;
};

}  // namespace qm::win32
