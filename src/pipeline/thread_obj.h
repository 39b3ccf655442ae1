// Base of every worker thread: one OS thread per object, a cooperative stop
// (a flag plus an auto-reset event that interrupts queue waits), waiting with
// a time-out, and one end message posted to a NotifyTarget when the body
// returns.
//
// Life of an object: construct -> SetNotify (optional) -> Start -> the body
// runs and returns, the end message is posted -> Stop (waits for the thread
// and releases it) -> Start again or destroy. The owner destroys the object
// only after a successful Stop; the destructor stops and joins a thread that
// is still held rather than leave it running on a freed object.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "pipeline/notify_target.h"
#include "pipeline/sync.h"

namespace qm {

class CQmThreadObj {
public:
    CQmThreadObj();
    CQmThreadObj(const CQmThreadObj&) = delete;
    CQmThreadObj& operator=(const CQmThreadObj&) = delete;
    virtual ~CQmThreadObj();

    // Starts the body on a new thread. Fails with "启动线程失败:上一个线程实例
    // 还未停止." while a previous thread has not been released by Stop (even
    // when it has already ended).
    virtual bool Start();

    // Sets the stop flag only; the stop event is left alone.
    virtual bool RequestStop();

    // Sets the stop flag, then the stop event, and returns at once: Stop's
    // first step without its wait (and without its time-out record).
    void SignalStop();

    // With `signal`, sets the stop flag, then the stop event. Then waits up
    // to `timeoutMs` (QM_INFINITE allowed) for the thread to end and releases
    // it. A time-out records "终止线程失败:等待线程退出超时." and returns false
    // with the thread still held, so a later Stop can wait again. Threads
    // cannot be killed safely here, so `terminate` does not change that
    // outcome; no caller of the system passes it.
    virtual bool Stop(bool signal, uint32_t timeoutMs, bool terminate);

    // The thread body. Its result becomes lParam of the end message.
    virtual uint32_t Execute() = 0;

    // Receiver and message id of the end message; a null target or message 0
    // posts nothing.
    void SetNotify(NotifyTarget* target, uint32_t message);

    bool IsStopRequested() const { return stopFlag_.load(std::memory_order_acquire) != 0; }
    // A thread was started and not yet released by Stop.
    bool HasThread() const { return thread_.joinable(); }
    // The body has returned (or no thread was ever started).
    bool HasFinished() const { return finished_.IsSet(); }
    // Waits up to `timeoutMs` for the body to return, without recording
    // anything and without releasing the thread (Stop does that).
    bool WaitFinished(uint32_t timeoutMs) { return finished_.Wait(timeoutMs); }

    // The body's own error text. Written only by the body; read it after Stop.
    const std::u16string& GetErrorText() const { return errorText_; }

    uint32_t GetThreadNumber() const { return threadNumber_; }
    void SetThreadNumber(uint32_t number) { threadNumber_ = number; }
    // The OS id of the running thread, 0 when none.
    uint32_t GetThreadId() const { return threadId_.load(std::memory_order_acquire); }

protected:
    // The name the OS shows for the thread (at most 15 bytes): debuggers,
    // `top -H` and the tests that look for workers left behind see it.
    virtual const char* ThreadName() const { return "qm-worker"; }

    Event& StopEvent() { return stopEvent_; }
    void SetThreadErrorText(std::u16string text) { errorText_ = std::move(text); }

private:
    void ThreadProc();

    std::thread thread_;
    std::atomic<uint32_t> threadId_{0};
    uint32_t threadNumber_ = 0;
    std::atomic<int32_t> stopFlag_{0};
    Event stopEvent_{false, false};
    std::u16string errorText_;
    NotifyTarget* notifyTarget_ = nullptr;
    uint32_t notifyMessage_ = 0;
    // Set by the thread as its very last act; Stop waits on it with the
    // time-out and only then joins.
    Event finished_{true, true};
};

}  // namespace qm
