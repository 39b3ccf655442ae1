// End-to-end throughput of a hashing run: one 1 GiB file that sits in the
// page cache goes through the task runner (enumeration, reader, hasher,
// queues), and the result is set against the same engine hashing data that
// is already in memory, measured in the same process.
//
// Counters per algorithm (best of the rounds; the run with one worker per
// core, so a second one reads ahead of the hashing):
//   run_GBps      the whole run, from the new task to the end of hashing
//   engine_GBps   the engine alone over 1 GiB of in-memory data
//   ratio         run_GBps / engine_GBps
//   run_cpu_s     CPU time of the whole process during the run (every
//                 thread, user and system)
//   engine_cpu_s  CPU time of the engine alone over the same bytes
//   cpu_ratio     run_cpu_s / engine_cpu_s: what reading costs on top
//
// BM_EnumerateOneDirectory times the enumeration thread alone over one
// directory of 100,000 empty files (made once, removed at the end), from its
// start to its end message: the cost of listing, examining and ordering the
// entries and appending the items.
// The data file is made under /var/tmp (QM_BENCH_DIR overrides) and removed
// at the end; the settings the document writes at exit go to a temporary
// directory, not the user's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"
#include "pipeline/enum_thread.h"
#include "pipeline/task_runner.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint64_t kFileSize = uint64_t{1} << 30;
constexpr size_t kBlock = 0x100000;

fs::path g_file;
fs::path g_manyDir;
constexpr size_t kManyFiles = 100000;

// The front end's side: messages queue up here and are handed back to the
// runner on the benchmark's thread.
class Inbox : public qm::NotifyTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({message, wParam, lParam});
        }
        cv_.notify_one();
    }
    struct Message {
        uint32_t id;
        uintptr_t wParam;
        intptr_t lParam;
    };
    Message Next() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return !queue_.empty(); });
        Message m = queue_.front();
        queue_.pop_front();
        return m;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Message> queue_;
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One hashing task over the data file; false when it did not hash it all.
bool RunTask(qm::CQmTaskRunner& runner, Inbox& inbox, int32_t classId) {
    const std::vector<qm::TaskInput> inputs = {{qm::PathFromOs(g_file.string()), false}};
    if (!runner.StartNewTask(inputs, qm::PathFromOs(g_file.parent_path().string()), classId, false)) return false;
    while (runner.IsRunning()) {
        const Inbox::Message m = inbox.Next();
        if (m.id == qm::WMU_ENUM_DONE) runner.OnEnumDone(m.wParam, m.lParam);
        if (m.id == qm::WMU_HASH_DONE) runner.OnHashDone();
    }
    qm::CQmQuorviaItem* item = qm::GetQuorviaDoc().GetItemAt(0);
    return item && item->HasHash() && runner.GetProcessedBytes() == kFileSize;
}

// The engine alone over 1 GiB of in-memory data: 16 MiB fed in 1 MiB
// blocks, over and over. `cpuSeconds` receives the thread's CPU time.
double EngineGBps(qm::CQmHashObject& engine, const std::vector<uint8_t>& data, double& cpuSeconds) {
    const double cpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    engine.Init();
    for (uint64_t done = 0; done < kFileSize; done += kBlock) {
        engine.Update(data.data() + (done % data.size()), kBlock);
    }
    uint8_t digest[qm::QM_MAX_DIGEST_SIZE];
    benchmark::DoNotOptimize(engine.Final(digest));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    cpuSeconds = ThreadCpuSeconds() - cpuStart;
    return static_cast<double>(kFileSize) / seconds / 1e9;
}

void BM_HashingRun(benchmark::State& state) {
    const auto classId = static_cast<int32_t>(state.range(0));
    std::unique_ptr<qm::CQmHashObject> engine = qm::GetHashCatalog().CreateObject(classId);
    if (!engine) {
        state.SkipWithError("no engine");
        return;
    }
    std::vector<uint8_t> data(16 * kBlock);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 11));

    Inbox inbox;
    qm::CQmTaskRunner runner(&inbox);
    // A first run pulls the file into the page cache and touches the buffers.
    if (!RunTask(runner, inbox, classId)) {
        state.SkipWithError("the warm-up run did not hash the whole file");
        return;
    }
    // Each round times one run and then the engine alone, so that both see
    // the same machine; the best of each is compared.
    double bestRun = 0, bestEngine = 0;
    double bestRunCpu = 1e9, bestEngineCpu = 1e9;
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        const auto start = Clock::now();
        if (!RunTask(runner, inbox, classId)) {
            state.SkipWithError("the run did not hash the whole file");
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        bestRunCpu = std::min(bestRunCpu, ProcessCpuSeconds() - cpuStart);
        state.SetIterationTime(seconds);
        bestRun = std::max(bestRun, static_cast<double>(kFileSize) / seconds / 1e9);
        double engineCpu = 0;
        bestEngine = std::max(bestEngine, EngineGBps(*engine, data, engineCpu));
        bestEngineCpu = std::min(bestEngineCpu, engineCpu);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
    state.counters["run_GBps"] = bestRun;
    state.counters["engine_GBps"] = bestEngine;
    state.counters["ratio"] = bestEngine > 0 ? bestRun / bestEngine : 0;
    state.counters["run_cpu_s"] = bestRunCpu;
    state.counters["engine_cpu_s"] = bestEngineCpu;
    state.counters["cpu_ratio"] = bestEngineCpu > 0 ? bestRunCpu / bestEngineCpu : 0;
    state.SetLabel(qm::Utf16ToUtf8(engine->GetName()));
}
BENCHMARK(BM_HashingRun)
    ->Arg(qm::QM_HASH_SHA1)
    ->Arg(qm::QM_HASH_MD5)
    ->Arg(qm::QM_HASH_CRC32)
    ->Arg(qm::QM_HASH_SHA256)
    ->Arg(qm::QM_HASH_SHA512)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// 100,000 empty files in one new directory, created in an order unlike the
// names' so that the file system's order is not already sorted.
bool MakeManyFiles() {
    const char* base = std::getenv("QM_BENCH_DIR");
    std::string pattern = (fs::path(base ? base : "/var/tmp") / "quorvia-enum-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return false;
    g_manyDir = pattern;
    for (size_t i = 0; i < kManyFiles; ++i) {
        const size_t n = (i * 7919) % kManyFiles;
        const std::string path = (g_manyDir / ("file " + std::to_string(n) + ".dat")).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::close(fd) != 0) return false;
    }
    return true;
}

void BM_EnumerateOneDirectory(benchmark::State& state) {
    if (g_manyDir.empty() && !MakeManyFiles()) {
        state.SkipWithError("cannot make the directory of 100,000 files");
        return;
    }
    const std::u16string dir = qm::PathFromOs(g_manyDir.string());
    Inbox inbox;
    for (auto _ : state) {
        qm::CQmQuorviaDoc& document = qm::GetQuorviaDoc();
        document.Clear();
        document.BeginTask(dir, qm::QM_HASH_SHA1, true);
        qm::CQmEnumFileThread thread;
        thread.AddPendingPath(dir, true);
        thread.SetNotify(&inbox, qm::WMU_ENUM_DONE);
        const auto start = Clock::now();
        if (!thread.Start()) {
            state.SkipWithError("the enumeration did not start");
            return;
        }
        inbox.Next();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        thread.Stop(false, qm::QM_INFINITE, false);
        state.SetIterationTime(seconds);
        if (document.GetItemCount() != kManyFiles) {
            state.SkipWithError("the enumeration did not list every file");
            return;
        }
    }
    qm::GetQuorviaDoc().Clear();
    state.counters["files"] = static_cast<double>(kManyFiles);
}
BENCHMARK(BM_EnumerateOneDirectory)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

bool MakeDataFile() {
    const char* base = std::getenv("QM_BENCH_DIR");
    std::string pattern = (fs::path(base ? base : "/var/tmp") / "quorvia-pipeline-bench-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    g_file = pattern;
    std::vector<uint8_t> block(kBlock);
    bool ok = true;
    for (uint64_t done = 0; ok && done < kFileSize; done += kBlock) {
        for (size_t i = 0; i < kBlock; i += 8) block[i] = static_cast<uint8_t>((done + i) >> 12);
        ok = ::write(fd, block.data(), kBlock) == static_cast<ssize_t>(kBlock);
    }
    ok = ::close(fd) == 0 && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    char configPattern[] = "/tmp/quorvia-bench-config-XXXXXX";
    const char* configDir = ::mkdtemp(configPattern);
    if (configDir) ::setenv("XDG_CONFIG_HOME", configDir, 1);
    qm::RegisterBuiltInEngines();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    int rc = 0;
    if (!MakeDataFile()) {
        std::fprintf(stderr, "cannot write the 1 GiB data file under %s\n", g_file.parent_path().c_str());
        rc = 1;
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    std::error_code ec;
    if (!g_file.empty()) fs::remove(g_file, ec);
    if (!g_manyDir.empty()) fs::remove_all(g_manyDir, ec);
    benchmark::Shutdown();
    qm::GetQuorviaDoc().Clear();
    if (configDir) fs::remove_all(configDir, ec);
    return rc;
}
