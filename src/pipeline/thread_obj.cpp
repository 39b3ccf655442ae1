#include "pipeline/thread_obj.h"

#include <system_error>

#include "common/error_record.h"
#include "common/os/thread.h"

namespace qm {

CQmThreadObj::CQmThreadObj() = default;

CQmThreadObj::~CQmThreadObj() {
    // The owner stops the thread first. Should it not have, the object must
    // not vanish under a running body: ask it to end and wait.
    if (thread_.joinable()) {
        SignalStop();
        thread_.join();
    }
}

bool CQmThreadObj::Start() {
    if (thread_.joinable()) {
        SetErrorText(os::kErrorBusy, u"启动线程失败:上一个线程实例还未停止.");
        return false;
    }
    stopFlag_.store(0, std::memory_order_release);
    stopEvent_.Reset();
    errorText_.clear();
    finished_.Reset();
    try {
        thread_ = std::thread(&CQmThreadObj::ThreadProc, this);
    } catch (const std::system_error& e) {
        finished_.Set();
        SetLastErrorText(os::ThreadErrorCode(e), u"启动线程(ID=%u)失败", threadNumber_);
        return false;
    }
    return true;
}

bool CQmThreadObj::RequestStop() {
    stopFlag_.store(1, std::memory_order_release);
    return true;
}

void CQmThreadObj::SignalStop() {
    // Flag before event: a body woken by the event tests the flag next.
    stopFlag_.store(1, std::memory_order_release);
    stopEvent_.Set();
}

bool CQmThreadObj::Stop(bool signal, uint32_t timeoutMs, bool /*terminate*/) {
    if (signal) SignalStop();
    if (!thread_.joinable()) return true;
    if (thread_.get_id() == std::this_thread::get_id()) {
        SetLastErrorText(os::kErrorDeadlock, u"终止线程时等待线程退出失败");
        return false;
    }
    if (!finished_.Wait(timeoutMs)) {
        SetErrorText(os::kErrorTimedOut, u"终止线程失败:等待线程退出超时.");
        return false;
    }
    try {
        thread_.join();
    } catch (const std::system_error& e) {
        SetLastErrorText(os::ThreadErrorCode(e), u"终止线程时等待线程退出失败");
        return false;
    }
    threadId_.store(0, std::memory_order_release);
    return true;
}

void CQmThreadObj::SetNotify(NotifyTarget* target, uint32_t message) {
    notifyTarget_ = target;
    notifyMessage_ = message;
}

void CQmThreadObj::ThreadProc() {
    threadId_.store(os::CurrentThreadId(), std::memory_order_release);
    // Naming is a courtesy; a failure changes nothing the body does.
    os::SetCurrentThreadName(ThreadName());
    const uint32_t result = Execute();
    if (notifyTarget_ && notifyMessage_ != 0) {
        notifyTarget_->Post(notifyMessage_, errorText_.empty() ? 1 : 0, static_cast<intptr_t>(result));
    }
    FreeThreadErrorInfo();
    finished_.Set();
}

}  // namespace qm
