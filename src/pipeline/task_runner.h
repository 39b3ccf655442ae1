// The task runner: starts, stops and ends the worker threads of one task at a
// time on the process-wide document and queue set. The desktop program's main
// window and the command-line program both drive it; neither touches a thread
// object itself.
//
// A task is either
//   - a new task: StartNewTask enumerates the inputs into the document; the
//     enumeration thread posts WMU_ENUM_DONE, and OnEnumDone then starts the
//     hashing run (reader and hasher), or ends the task when it was stopped;
//   - a verification pass: StartVerification hashes the items that take part
//     again, in verify mode.
// A hashing run ends with WMU_HASH_DONE from the hasher (also after a stop);
// OnHashDone then releases the threads and the queues.
//
// Threads: every member is called on the front end's own thread (the one that
// receives the messages). The worker threads call only NotifyTarget::Post, on
// their own thread; the front end passes each message back to OnEnumDone /
// OnHashDone on its thread. The target must outlive the runner. There is one
// runner per process: it uses the process-wide queue set.
//
// Waiting: Stop and the end handlers wait for threads that have been asked to
// end; none of them can wait forever. When the hasher ends before the reader
// (it got no engine, or it was stopped), the reader is stopped through its
// stop event and the buffers it has put are returned to it until it has
// ended, and only then are the queues released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/enum_thread.h"
#include "pipeline/hash_thread.h"
#include "pipeline/notify_target.h"
#include "pipeline/read_thread.h"

namespace qm {

struct TaskInput {
    std::u16string path;
    bool isDirectory = false;
};

class CQmTaskRunner {
public:
    enum class Phase { Idle, Enumerating, Hashing };
    enum class EnumOutcome {
        Ignored,         // no enumeration was running
        Cancelled,       // stopped on request: the task ends, the items found stay
        HashingStarted,  // the hashing run is on; WMU_HASH_DONE follows
        HashingFailed,   // the run could not start (reason in the error record)
    };

    explicit CQmTaskRunner(NotifyTarget* target);
    // Asks every thread still there to end and waits for it (see StopForClose).
    ~CQmTaskRunner();
    CQmTaskRunner(const CQmTaskRunner&) = delete;
    CQmTaskRunner& operator=(const CQmTaskRunner&) = delete;

    // Idle while no thread object exists; a stopped task stays in its phase
    // until its end message has been handled.
    Phase GetPhase() const;
    bool IsRunning() const { return GetPhase() != Phase::Idle; }

    // Clears the document, prepares it for the task (BeginTask) and starts
    // the enumeration of `inputs` in their order. False when a task is
    // running ("当前正在计算文件校验，因此暂不能创建新的任务。") or BeginTask
    // failed (its reason recorded; the document stays cleared, no thread runs).
    bool StartNewTask(const std::vector<TaskInput>& inputs, std::u16string_view rootDir, int32_t classId,
                      bool includeSubdirs);

    // A verification pass: clears the items' states and errors, sets verify
    // mode, with `allItems` selects every item that has a stored hash (else
    // the selection the caller made stays), recounts the selected bytes and
    // starts the run. False when a task is running or the run cannot start.
    // Asking the user about items without a stored hash is the caller's part.
    bool StartVerification(bool allItems);

    // The user's stop: stops the enumeration or the reader and waits until it
    // has ended. The hasher then ends by itself after the reader's last
    // record, and the end message follows as usual.
    void Stop();

    // Closing the program during a task: every thread is asked to stop and
    // nothing is waited for. The runner's destructor then waits for them.
    void StopForClose();

    // WMU_ENUM_DONE arrived (pass its wParam and lParam). Releases the
    // enumeration thread and posts WMU_UPDATE_TOTALS; unless the enumeration
    // was stopped, starts the hashing run.
    EnumOutcome OnEnumDone(uintptr_t wParam, intptr_t lParam);

    // WMU_HASH_DONE arrived. Releases the hasher and the reader, then the
    // queues. False when no hashing run was there (a stray message).
    bool OnHashDone();

    // The hasher's processed bytes: live during a run, the final count after
    // it (progress and the average speed use it).
    uint64_t GetProcessedBytes() const;

    // Buffers made for the last run, and how many of them were back in the
    // free queue when it ended (equal unless a buffer went astray).
    struct BufferAccount {
        size_t made = 0;
        uint32_t home = 0;
    };
    BufferAccount GetLastBufferAccount() const { return lastAccount_; }

private:
    bool StartHashing();
    // Waits until the reader has ended; with `signal` it is asked to stop
    // first. While the hasher is gone, the buffers the reader puts are sent
    // straight back so that its waits for a free buffer always end.
    void WaitForReader(bool signal);
    void ReturnFilledBuffers();
    void ReleaseHashing();

    NotifyTarget* target_;
    std::unique_ptr<CQmEnumFileThread> enumThread_;
    std::unique_ptr<CQmHashFileThread> hashThread_;
    std::unique_ptr<CQmReadFileThread> readThread_;
    uint64_t lastProcessedBytes_ = 0;
    BufferAccount lastAccount_;
};

}  // namespace qm
