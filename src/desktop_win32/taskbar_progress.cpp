// The taskbar button's progress (see taskbar_progress.h).
#include "desktop_win32/taskbar_progress.h"

#include "common/error_record.h"

namespace qm::win32 {

bool CQmTaskbarProgress::CreateProgress(HWND window) {
    taskbar_.Reset();
    window_ = window;
    const HRESULT result =
        CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, taskbar_.PutVoid());
    if (FAILED(result)) {
        SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"创建任务栏对象实例失败");
        return false;
    }
    return true;
}

bool CQmTaskbarProgress::Ready() { return static_cast<bool>(taskbar_); }

bool CQmTaskbarProgress::SetProgressState(uint32_t flags) {
    if (!Ready()) {
        SetErrorText(0, u"设置任务栏进度状态失败:%s", u"对象未初始化。");
        return false;
    }
    const HRESULT result = taskbar_->SetProgressState(window_, static_cast<TBPFLAG>(flags));
    if (FAILED(result)) {
        SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"设置任务栏进度状态失败");
        return false;
    }
    return true;
}

bool CQmTaskbarProgress::SetProgressValue(uint64_t done, uint64_t total) {
    if (!Ready()) {
        SetErrorText(0, u"设置任务栏进度状态失败:%s", u"对象未初始化。");
        return false;
    }
    const HRESULT result = taskbar_->SetProgressValue(window_, done, total);
    if (FAILED(result)) {
        SetLastErrorTextFromResult(static_cast<uint32_t>(result), u"设置任务栏进度状态失败");
        return false;
    }
    return true;
}

}  // namespace qm::win32
