// The task runner: starts, stops and ends the worker threads of one task at a
// time on the process-wide document and queue set. The desktop program's main
// window and the command-line program both drive it; neither touches a thread
// object itself.
//
// A task is either
//   - a new task: StartNewTask enumerates the inputs into the document; the
//     enumeration thread posts WMU_ENUM_DONE, and OnEnumDone then starts the
//     hashing run, or ends the task when it was stopped;
//   - a verification pass: StartVerification hashes the items that take part
//     again, in verify mode.
// A hashing run is done by several workers (hash_worker.h), as many as the
// machine has cores unless SetWorkerCount says otherwise: each claims the
// next item in document order and hashes it whole, so the items keep their
// order and each gets the digest one engine makes of all its bytes. The run
// ends with one WMU_HASH_DONE once every worker has ended (also after a
// stop); OnHashDone then releases the workers and the queues.
//
// Threads: every member is called on the front end's own thread (the one that
// receives the messages). The worker threads call only NotifyTarget::Post, on
// their own thread; the front end passes each message back to OnEnumDone /
// OnHashDone on its thread. The target must outlive the runner. There is one
// runner per process: it uses the process-wide queue set.
//
// Waiting: Stop and the end handlers wait for threads that have been asked to
// end; none of them can wait forever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/device_turns.h"
#include "pipeline/enum_thread.h"
#include "pipeline/notify_target.h"

namespace qm {

class CQmHashCrew;
class CQmHashWorker;

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

    // The user's stop: stops the enumeration or every worker of the hashing
    // run and waits until they have ended. The end message follows as usual;
    // the items being hashed are left "用户已取消", the items not reached
    // yet untouched.
    void Stop();

    // Closing the program during a task: every thread is asked to stop and
    // nothing is waited for. The runner's destructor then waits for them.
    void StopForClose();

    // WMU_ENUM_DONE arrived (pass its wParam and lParam). Releases the
    // enumeration thread and posts WMU_UPDATE_TOTALS; unless the enumeration
    // was stopped, starts the hashing run.
    EnumOutcome OnEnumDone(uintptr_t wParam, intptr_t lParam);

    // WMU_HASH_DONE arrived. Releases the workers, then the queues. False
    // when no hashing run was there (a stray message).
    bool OnHashDone();

    // The processed bytes of all workers together: live during a run, the
    // final count after it (progress and the average speed use it).
    uint64_t GetProcessedBytes() const;

    // How many workers the next hashing run uses: 0 (the default) for one
    // per core, else at most kMaxWorkers. A run already going keeps its own.
    static constexpr uint32_t kMaxWorkers = 64;
    void SetWorkerCount(uint32_t count);
    // The number the next run will use.
    uint32_t GetWorkerCount() const;

    // Where the runs learn what kind of device a file is on (null: from the
    // operating system). The probe must outlive the runs that use it.
    void SetDeviceProbe(CQmDeviceProbe* probe) { probe_ = probe; }

    // What the last run did, beyond its results.
    struct RunFigures {
        uint32_t workers = 0;
        // The most workers that read files of one device that must be read
        // one file at a time together (0: none was met, or all from memory).
        uint32_t mostReadersOfOneSlowDevice = 0;
        // Files of which a second worker read the rest ahead of the hashing.
        uint32_t filesReadAhead = 0;
    };
    RunFigures GetLastRunFigures() const { return lastFigures_; }

    // Buffers made for the last run (the workers' own and those they lend to
    // a helper reading ahead), and how many of them were back in the free
    // queue when it ended (equal unless a buffer went astray).
    struct BufferAccount {
        size_t made = 0;
        uint32_t home = 0;
    };
    BufferAccount GetLastBufferAccount() const { return lastAccount_; }

private:
    bool StartHashing();
    // Asks every worker to stop, and with `wait` waits until each has ended.
    void StopWorkers(bool wait);
    void ReleaseHashing();

    NotifyTarget* target_;
    std::unique_ptr<CQmEnumFileThread> enumThread_;
    std::unique_ptr<CQmHashCrew> crew_;
    std::vector<std::unique_ptr<CQmHashWorker>> workers_;
    uint32_t workerCount_ = 0;
    CQmDeviceProbe* probe_ = nullptr;
    uint64_t lastProcessedBytes_ = 0;
    BufferAccount lastAccount_;
    RunFigures lastFigures_;
};

}  // namespace qm
