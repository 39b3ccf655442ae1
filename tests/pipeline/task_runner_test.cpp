// The task runner driven as a front end drives it: messages arrive on the
// test's thread and are handed back to the runner.
#include "pipeline/task_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/error_record.h"
#include "common/os/directory.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "common/utf.h"
#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"
#include "pipeline/buffer_queue.h"
#include "pipeline/pipeline_test_util.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"
#include "support/worker_threads.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr uint64_t kMiB = 0x100000;

std::u16string U(const fs::path& path) { return test::PathText(path); }

std::vector<uint8_t> ReferenceCrc32(std::string_view data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    // The digest holds the value low byte first.
    return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc >> 16),
            static_cast<uint8_t>(crc >> 24)};
}

std::vector<uint8_t> Reference(int32_t classId, std::string_view data) {
    switch (classId) {
        case QM_HASH_CRC32: return ReferenceCrc32(data);
        case QM_HASH_MD5: return test::ReferenceDigest("MD5", data);
        default: return test::ReferenceDigest("SHA1", data);
    }
}

std::vector<uint8_t> Stored(const CQmQuorviaItem& item, size_t size) {
    return std::vector<uint8_t>(item.GetHash(), item.GetHash() + size);
}

std::vector<CQmQuorviaItem*> Items() {
    std::vector<CQmQuorviaItem*> items;
    for (size_t i = 0; CQmQuorviaItem* item = GetQuorviaDoc().GetItemAt(i); ++i) items.push_back(item);
    return items;
}

// Where a test wants to act while a task runs.
enum class Moment { EnumDoneArrived, HashingStarted, HashDoneArrived };

// Every case runs with one worker and with several.
class TaskRunnerTest : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override {
        RegisterBuiltInEngines();
        GetQuorviaDoc().Clear();
        GetQuorviaDoc().SetVerifyMode(false);
        ASSERT_EQ(test::WorkerThreadCount(), 0u);
        runner.SetWorkerCount(GetParam());
    }
    void TearDown() override {
        SetFileIconProvider(nullptr);
        GetQuorviaDoc().Clear();
        GetQuorviaDoc().SetVerifyMode(false);
    }

    // The front end's message loop for one task: hands every end message
    // back to the runner until the task is over. `hook` runs at each moment.
    struct Outcome {
        bool enumDone = false;
        uintptr_t enumWParam = 0;
        intptr_t enumLParam = -1;
        CQmTaskRunner::EnumOutcome enumOutcome = CQmTaskRunner::EnumOutcome::Ignored;
        bool hashDone = false;
        uintptr_t hashWParam = 0;
        intptr_t hashLParam = -1;
        int totalsUpdates = 0;
    };
    template <class Hook>
    Outcome Pump(Hook hook) {
        Outcome outcome;
        while (runner.IsRunning()) {
            const auto message = target.Next();
            if (!message) {
                ADD_FAILURE() << "the task did not end";
                break;
            }
            switch (message->message) {
                case WMU_ENUM_DONE:
                    outcome.enumDone = true;
                    outcome.enumWParam = message->wParam;
                    outcome.enumLParam = message->lParam;
                    hook(Moment::EnumDoneArrived);
                    outcome.enumOutcome = runner.OnEnumDone(message->wParam, message->lParam);
                    if (outcome.enumOutcome == CQmTaskRunner::EnumOutcome::HashingStarted) hook(Moment::HashingStarted);
                    break;
                case WMU_HASH_DONE:
                    outcome.hashDone = true;
                    outcome.hashWParam = message->wParam;
                    outcome.hashLParam = message->lParam;
                    hook(Moment::HashDoneArrived);
                    EXPECT_TRUE(runner.OnHashDone());
                    break;
                case WMU_UPDATE_TOTALS: ++outcome.totalsUpdates; break;
                default: ADD_FAILURE() << "unexpected message " << message->message;
            }
        }
        // Only the totals notice may still be queued when the task is over.
        while (const auto late = target.Next(0ms)) {
            EXPECT_EQ(late->message, WMU_UPDATE_TOTALS) << "message after the end of the task";
            ++outcome.totalsUpdates;
        }
        return outcome;
    }
    Outcome Pump() {
        return Pump([](Moment) {});
    }

    Outcome NewTask(const std::vector<TaskInput>& inputs, int32_t classId) {
        EXPECT_TRUE(runner.StartNewTask(inputs, U(dir.path()), classId, true)) << Utf16ToUtf8(GetLastErrorText());
        return Pump();
    }

    // Every buffer the run made was back in the free queue at its end.
    void ExpectBuffersHome() {
        EXPECT_EQ(runner.GetLastRunFigures().workers, GetParam());
        EXPECT_GT(runner.GetLastBufferAccount().made, 0u);
        EXPECT_EQ(runner.GetLastBufferAccount().home, runner.GetLastBufferAccount().made)
            << "a buffer did not come home";
    }

    void ExpectIdleAndTidy() {
        EXPECT_EQ(runner.GetPhase(), CQmTaskRunner::Phase::Idle);
        EXPECT_FALSE(GetQuorviaDoc().IsBusy());
        EXPECT_TRUE(test::NoWorkerThreadsLeft()) << "a worker thread is still there";
        EXPECT_FALSE(GetIoQueueMgr().IsCreated(0));
    }

    test::TempDir dir;
    test::RecordingTarget target;
    CQmTaskRunner runner{&target};
};

TEST_P(TaskRunnerTest, NewTaskHashesEveryFileWithEachAlgorithm) {
    std::map<std::u16string, std::string> contents;
    const std::vector<std::pair<std::string, size_t>> files = {
        {"t/empty", 0}, {"t/one", 1}, {"t/mib", kMiB}, {"t/mib1", kMiB + 1}, {"t/sub/three", 3 * kMiB}};
    uint32_t seed = 10;
    for (const auto& [name, size] : files) {
        std::string data = test::PatternBytes(size, seed++);
        contents[U(dir.Write(name, data))] = std::move(data);
    }
    for (const int32_t classId : {QM_HASH_SHA1, QM_HASH_MD5, QM_HASH_CRC32}) {
        SCOPED_TRACE(classId);
        const Outcome outcome = NewTask({{U(dir / "t"), true}}, classId);
        EXPECT_TRUE(outcome.enumDone);
        EXPECT_EQ(outcome.enumWParam, 1u);
        EXPECT_EQ(outcome.enumLParam, 0);
        EXPECT_EQ(outcome.enumOutcome, CQmTaskRunner::EnumOutcome::HashingStarted);
        EXPECT_EQ(outcome.totalsUpdates, 1);
        EXPECT_TRUE(outcome.hashDone);
        EXPECT_EQ(outcome.hashWParam, 1u);
        EXPECT_EQ(outcome.hashLParam, 0);

        CQmQuorviaDoc& document = GetQuorviaDoc();
        EXPECT_EQ(document.GetAlgorithm(), classId);
        const auto items = Items();
        ASSERT_EQ(items.size(), files.size());
        uint64_t total = 0;
        for (CQmQuorviaItem* item : items) {
            const std::string& data = contents.at(item->GetPath());
            EXPECT_TRUE(item->IsProcessed());
            EXPECT_FALSE(item->IsReading());
            EXPECT_TRUE(item->GetError().empty());
            ASSERT_TRUE(item->HasHash());
            EXPECT_EQ(Stored(*item, static_cast<size_t>(document.GetDigestSize())), Reference(classId, data));
            total += data.size();
        }
        EXPECT_EQ(document.GetTotalBytes(), total);
        EXPECT_EQ(document.GetSelectedBytes(), total);
        EXPECT_EQ(runner.GetProcessedBytes(), total);
        ExpectBuffersHome();
        ExpectIdleAndTidy();
    }
}

// A disk under every file of the test: one that seeks when read in two
// places at once, or (with `seeks` false) one that does not. Of its bytes
// every second read finds nothing in memory, so a worker must take the
// device's turn part way through a file.
class TestDisk : public CQmDeviceProbe {
public:
    explicit TestDisk(bool seeks) : seeks_(seeks) {}
    bool GetStorageId(os::FileHandle, const os::FileAttributes&, uint64_t& id) override {
        id = 7;
        return true;
    }
    bool SeeksSlowly(os::FileHandle) override {
        asked.fetch_add(1);
        return seeks_;
    }
    int64_t ReadCached(os::FileHandle handle, void* data, size_t size) override {
        if (reads.fetch_add(1) % 2 == 1) return os::kNotInMemory;
        return os::ReadFileData(handle, data, size);
    }
    std::atomic<int> asked{0};
    std::atomic<int> reads{0};

private:
    const bool seeks_;
};

TEST_P(TaskRunnerTest, FilesOfASeekingDiskAreReadOneAtATime) {
    std::map<std::u16string, std::string> contents;
    for (int i = 0; i < 8; ++i) {
        std::string data = test::PatternBytes(kMiB / 2 + 4096 * i + 1, 60 + i);
        contents[U(dir.Write("disk/f" + std::to_string(i), data))] = std::move(data);
    }
    std::string big = test::PatternBytes(5 * kMiB + 3, 70);
    contents[U(dir.Write("disk/z/big", big))] = std::move(big);

    for (const bool seeks : {true, false}) {
        SCOPED_TRACE(seeks);
        TestDisk disk(seeks);
        runner.SetDeviceProbe(&disk);
        NewTask({{U(dir / "disk"), true}}, QM_HASH_SHA1);
        runner.SetDeviceProbe(nullptr);
        for (CQmQuorviaItem* item : Items()) {
            EXPECT_TRUE(item->GetError().empty()) << Utf16ToUtf8(item->GetError());
            EXPECT_EQ(Stored(*item, 20), Reference(QM_HASH_SHA1, contents.at(item->GetPath())));
        }
        EXPECT_EQ(disk.asked.load(), 1) << "a device is asked once per run";
        if (seeks) {
            EXPECT_EQ(runner.GetLastRunFigures().mostReadersOfOneSlowDevice, 1u);
            EXPECT_GT(disk.reads.load(), 0);
        } else {
            // Read in parallel, straight from the system.
            EXPECT_EQ(runner.GetLastRunFigures().mostReadersOfOneSlowDevice, 0u);
            EXPECT_EQ(disk.reads.load(), 0);
        }
        ExpectBuffersHome();
        ExpectIdleAndTidy();
    }
}

// Nothing the user named goes missing or passes as checked: what cannot be
// listed or read is an entry with its reason, and only true digests reach a
// list.
TEST_P(TaskRunnerTest, WhatCannotBeHashedIsAnEntryWithItsReasonAndNoListNamesIt) {
    const std::string data = test::PatternBytes(7000, 3);
    const auto good = dir.Write("t/good", data);
    const fs::path tooLong = dir / "t" / std::string(300, 'n');
    std::vector<TaskInput> inputs = {{U(dir / "t"), true}, {U(tooLong), true}};
    // Files whose digest must be there, with their content.
    std::vector<std::pair<std::u16string, std::string>> readable = {{U(good), data}};
#if defined(_WIN32)
    // The null device: opened like a file, with no content to check.
    const std::u16string device = u"NUL";
#else
    // /dev/zero never ends; a file of /proc reports no size but has content.
    const std::u16string device = u"/dev/zero";
    const fs::path proc = "/proc/sys/kernel/ostype";
    const std::string procData = test::ReadBytes(proc);
    ASSERT_FALSE(procData.empty());
    readable.push_back({U(proc), procData});
#endif
    inputs.push_back({device, false});
#if !defined(_WIN32)
    inputs.push_back({U(proc), false});
#endif
    const Outcome outcome = NewTask(inputs, QM_HASH_SHA1);
    ASSERT_TRUE(outcome.hashDone) << "the run ends, the device is not read for good";

    CQmQuorviaDoc& document = GetQuorviaDoc();
    const auto items = Items();
    ASSERT_EQ(items.size(), 2 + readable.size());
    std::u16string reason;
#if defined(_WIN32)
    // What the system says to listing it (Windows and Wine differ).
    os::DirectoryListing listing;
    ASSERT_FALSE(listing.Open(U(tooLong)));
    const uint32_t nameTooLong = os::LastErrorCode();
#else
    const uint32_t nameTooLong = os::kErrorNameTooLong;
#endif
    reason = test::SystemTextFor(nameTooLong);
    const std::vector<std::pair<std::u16string, std::u16string>> failed = {
        {U(tooLong), u"打开目录失败:" + reason}, {device, u"打开文件失败:不支持的文件类型。"}};
    for (const auto& [path, text] : failed) {
        const auto it = std::find_if(items.begin(), items.end(), [&](auto* item) { return item->GetPath() == path; });
        ASSERT_NE(it, items.end()) << Utf16ToUtf8(path);
        EXPECT_EQ((*it)->GetError(), text);
        EXPECT_FALSE((*it)->HasHash());
        EXPECT_TRUE((*it)->IsProcessed());
    }
    uint64_t total = 0;
    for (const auto& [path, bytes] : readable) {
        const auto it = std::find_if(items.begin(), items.end(), [&](auto* item) { return item->GetPath() == path; });
        ASSERT_NE(it, items.end()) << Utf16ToUtf8(path);
        EXPECT_TRUE((*it)->GetError().empty()) << Utf16ToUtf8((*it)->GetError());
        ASSERT_TRUE((*it)->HasHash());
        EXPECT_EQ(Stored(**it, 20), test::ReferenceDigest("SHA1", bytes));
        EXPECT_EQ((*it)->GetLength(), bytes.size());
        total += bytes.size();
    }
    // A length is what was read (for the /proc file too), and the totals follow it.
    EXPECT_EQ(document.GetTotalBytes(), total);
    EXPECT_EQ(document.GetSelectedBytes(), total);
    EXPECT_EQ(document.GetFileCount(), 2 + readable.size());

    const std::u16string list = ComposeHashLines(document, U(dir.path()), true);
    EXPECT_NE(list.find(u"good"), std::u16string::npos);
    for (size_t i = 1; i < readable.size(); ++i) EXPECT_NE(list.find(readable[i].first), std::u16string::npos);
    EXPECT_EQ(list.find(u"nnnn"), std::u16string::npos) << "a folder has no digest to record";
    EXPECT_EQ(list.find(device), std::u16string::npos);
    ExpectIdleAndTidy();
}

TEST_P(TaskRunnerTest, VerificationComparesIntoTheVerifyHashOnly) {
    const auto keep = dir.Write("v/keep", test::PatternBytes(5000, 1));
    const auto edit = dir.Write("v/edit", test::PatternBytes(5000, 2));
    const auto lost = dir.Write("v/lost", test::PatternBytes(5000, 3));
    ASSERT_TRUE(runner.StartNewTask({{U(dir / "v"), true}}, U(dir.path()), QM_HASH_MD5, true));
    // The file goes missing between the listing and the hashing.
    Pump([&](Moment m) {
        if (m == Moment::EnumDoneArrived) fs::remove(lost);
    });
    std::map<std::u16string, CQmQuorviaItem*> byPath;
    for (CQmQuorviaItem* item : Items()) byPath[item->GetPath()] = item;
    CQmQuorviaItem* lostItem = byPath.at(U(lost));
    EXPECT_FALSE(lostItem->HasHash());
    EXPECT_FALSE(lostItem->GetError().empty());
    EXPECT_FALSE(GetQuorviaDoc().AreAllHashed(true));
    const auto before = Stored(*byPath.at(U(edit)), 16);

    test::WriteFile(edit, test::PatternBytes(5000, 99));  // same size, new content
    ASSERT_TRUE(runner.StartVerification(true));
    EXPECT_TRUE(GetQuorviaDoc().IsVerifyMode());
    const Outcome outcome = Pump();
    EXPECT_TRUE(outcome.hashDone);
    EXPECT_FALSE(outcome.enumDone);

    CQmQuorviaItem* keepItem = byPath.at(U(keep));
    CQmQuorviaItem* editItem = byPath.at(U(edit));
    EXPECT_TRUE(keepItem->IsProcessed());
    EXPECT_TRUE(keepItem->VerifyMatches(16));
    EXPECT_TRUE(editItem->IsProcessed());
    EXPECT_FALSE(editItem->VerifyMatches(16));
    EXPECT_EQ(Stored(*editItem, 16), before) << "the stored hash stays as it was";
    EXPECT_EQ(std::vector<uint8_t>(editItem->GetVerifyHash(), editItem->GetVerifyHash() + 16),
              test::ReferenceDigest("MD5", test::PatternBytes(5000, 99)));
    // Without a stored hash the item takes no part.
    EXPECT_FALSE(lostItem->IsSelected());
    EXPECT_FALSE(lostItem->IsProcessed());
    EXPECT_EQ(runner.GetProcessedBytes(), 10000u);
    EXPECT_EQ(GetQuorviaDoc().GetSelectedBytes(), 10000u);
    ExpectIdleAndTidy();

    // One marked item only; a marked item without a stored hash is skipped.
    GetQuorviaDoc().SelectAll(false, false);
    editItem->SetSelected(true);
    lostItem->SetSelected(true);
    test::WriteFile(edit, test::PatternBytes(5000, 2));
    ASSERT_TRUE(runner.StartVerification(false));
    Pump();
    EXPECT_TRUE(editItem->IsProcessed());
    EXPECT_TRUE(editItem->VerifyMatches(16));
    EXPECT_FALSE(keepItem->IsProcessed());
    EXPECT_FALSE(lostItem->IsProcessed());
    EXPECT_EQ(runner.GetProcessedBytes(), 5000u);
    ExpectIdleAndTidy();
}

TEST_P(TaskRunnerTest, RunWithNothingSelectedEndsAtOnce) {
    dir.Write("n/a", "abc");
    NewTask({{U(dir / "n"), true}}, QM_HASH_SHA1);
    GetQuorviaDoc().SelectAll(false, false);
    ASSERT_TRUE(runner.StartVerification(false));
    const Outcome outcome = Pump();
    EXPECT_TRUE(outcome.hashDone);
    EXPECT_EQ(outcome.hashWParam, 1u);
    EXPECT_EQ(outcome.hashLParam, 0);
    EXPECT_EQ(runner.GetProcessedBytes(), 0u);
    ExpectBuffersHome();
    ExpectIdleAndTidy();
}

TEST_P(TaskRunnerTest, StoppedEnumerationEndsTheTaskWithTheItemsFound) {
    for (int i = 0; i < 50; ++i) dir.Write("s/f" + std::to_string(i), "12345");
    // The first item holds the enumeration until the stop has been asked for.
    struct Gate : CQmFileIconProvider {
        int32_t GetFileIconIndex(std::u16string_view) override {
            if (calls.fetch_add(1) == 0) {
                while (!open.load()) std::this_thread::sleep_for(1ms);
            }
            return -1;
        }
        std::atomic<int> calls{0};
        std::atomic<bool> open{false};
    } gate;
    SetFileIconProvider(&gate);
    ASSERT_TRUE(runner.StartNewTask({{U(dir / "s"), true}}, U(dir.path()), QM_HASH_SHA1, true));
    EXPECT_TRUE(GetQuorviaDoc().IsBusy());
    EXPECT_FALSE(runner.StartNewTask({}, u"", QM_HASH_SHA1, true));
    EXPECT_EQ(GetLastErrorText(), u"当前正在计算文件校验，因此暂不能创建新的任务。");

    while (gate.calls.load() == 0) std::this_thread::sleep_for(1ms);

    // The close-time stop asks and does not wait: it returns while the
    // thread is held up.
    runner.StopForClose();
    EXPECT_EQ(GetLastErrorText(), u"终止线程失败:等待线程退出超时.");
    EXPECT_EQ(runner.GetPhase(), CQmTaskRunner::Phase::Enumerating);
    gate.open = true;
    runner.Stop();  // the user's stop waits until the thread has ended

    const Outcome outcome = Pump();
    EXPECT_EQ(outcome.enumLParam, 1);
    EXPECT_EQ(outcome.enumOutcome, CQmTaskRunner::EnumOutcome::Cancelled);
    EXPECT_FALSE(outcome.hashDone);
    EXPECT_EQ(outcome.totalsUpdates, 1);
    const auto items = Items();
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(GetQuorviaDoc().GetFileCount(), items.size());
    EXPECT_EQ(GetQuorviaDoc().GetTotalBytes(), 5u * items.size());
    for (CQmQuorviaItem* item : items) EXPECT_FALSE(item->IsProcessed());
    ExpectIdleAndTidy();
}

TEST_P(TaskRunnerTest, RefusesAlgorithmsTheCatalogueLacks) {
    dir.Write("u/a", "abc");
    EXPECT_FALSE(runner.StartNewTask({{U(dir / "u"), true}}, U(dir.path()), 6, true));
    EXPECT_EQ(GetLastErrorText(), u"创建对象实列失败:不支持的类ID.");
    EXPECT_EQ(runner.GetPhase(), CQmTaskRunner::Phase::Idle);

    NewTask({{U(dir / "u"), true}}, QM_HASH_SHA1);
    // A list of an algorithm this build does not offer: verifying it with
    // another algorithm would report every file as changed.
    GetQuorviaDoc().SetAlgorithm(10);
    EXPECT_FALSE(runner.StartVerification(true));
    EXPECT_EQ(GetLastErrorText(), u"设置哈希算法失败:不支持的类ID.");
    EXPECT_FALSE(Items()[0]->IsProcessed());
    ExpectIdleAndTidy();
}

// An engine that can be registered but never made again: the hasher of a run
// then has no engine.
class OnceEngine : public CQmHashObject {
public:
    OnceEngine() : CQmHashObject(97, u"ONCE", 4) {}
    bool Init() override { return true; }
    void Update(const void*, uint32_t) override {}
    uint32_t Final(uint8_t*) override { return 4; }
};
std::atomic<int> g_onceMade{0};
std::unique_ptr<CQmHashObject> MakeOnce() {
    if (g_onceMade.fetch_add(1) > 0) return nullptr;
    return std::make_unique<OnceEngine>();
}

TEST_P(TaskRunnerTest, HasherWithoutEngineStillEndsTheRunCleanly) {
    if (!GetHashCatalog().Contains(97)) GetHashCatalog().RegisterClass(MakeOnce);
    ASSERT_TRUE(GetHashCatalog().Contains(97));
    // More than the buffers hold, so the reader is left waiting for a free one.
    for (int i = 0; i < 3; ++i) {
        const fs::path file = dir / ("w/big" + std::to_string(i));
        fs::create_directories(file.parent_path());
        std::ofstream(file).close();
        fs::resize_file(file, 12 * kMiB);
    }
    NewTask({{U(dir / "w"), true}}, QM_HASH_SHA1);
    GetQuorviaDoc().SetAlgorithm(97);
    ASSERT_TRUE(runner.StartVerification(true));
    const Outcome outcome = Pump();
    EXPECT_TRUE(outcome.hashDone);
    ExpectBuffersHome();
    for (CQmQuorviaItem* item : Items()) EXPECT_FALSE(item->IsReading() && item->GetHandle() != kInvalidHandle);
    ExpectIdleAndTidy();
}

TEST_P(TaskRunnerTest, DestroyingTheRunnerDuringARunEndsEveryThread) {
    for (int i = 0; i < 2; ++i) {
        const fs::path file = dir / ("d/big" + std::to_string(i));
        fs::create_directories(file.parent_path());
        std::ofstream(file).close();
        fs::resize_file(file, 24 * kMiB);
    }
    {
        test::RecordingTarget localTarget;
        CQmTaskRunner local(&localTarget);
        ASSERT_TRUE(local.StartNewTask({{U(dir / "d"), true}}, U(dir.path()), QM_HASH_SHA1, true));
        const auto done = localTarget.Next();
        ASSERT_TRUE(done);
        ASSERT_EQ(local.OnEnumDone(done->wParam, done->lParam), CQmTaskRunner::EnumOutcome::HashingStarted);
        local.StopForClose();
    }
    EXPECT_TRUE(test::NoWorkerThreadsLeft());
    EXPECT_FALSE(GetIoQueueMgr().IsCreated(0));
    GetQuorviaDoc().SetBusy(false);
}

// Many short runs with a stop at a random moment; after each, every item is
// in one of the states a run can leave, and nothing is left behind.
TEST_P(TaskRunnerTest, StressRandomStopsKeepEveryInvariant) {
    std::map<std::u16string, std::string> contents;
    const std::vector<std::pair<std::string, size_t>> files = {
        {"r/a0", 0}, {"r/a1", 1}, {"r/a2", 777}, {"r/x/b0", 65536}, {"r/x/b1", kMiB + 1}, {"r/x/y/c0", 300000}};
    uint32_t seed = 40;
    for (const auto& [name, size] : files) {
        std::string data = test::PatternBytes(size, seed++);
        contents[U(dir.Write(name, data))] = std::move(data);
    }
    std::map<std::pair<int32_t, std::u16string>, std::vector<uint8_t>> expected;
    for (const int32_t id : {QM_HASH_CRC32, QM_HASH_MD5, QM_HASH_SHA1}) {
        for (const auto& [path, data] : contents) expected[{id, path}] = Reference(id, data);
    }

    std::mt19937 random(20240611);
    constexpr int kRuns = 500;
    int cancelledRuns = 0, completeRuns = 0, verifyRuns = 0;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(run);
        const int32_t classId = std::array{QM_HASH_CRC32, QM_HASH_MD5, QM_HASH_SHA1}[random() % 3];
        // A verification pass needs a list with some stored hashes of this
        // algorithm, as a finished (or partly finished) run leaves it.
        const auto previous = Items();
        const bool verify = random() % 4 == 0 && GetQuorviaDoc().GetAlgorithm() == classId &&
                            std::any_of(previous.begin(), previous.end(), [](auto* i) { return i->HasHash(); });
        // 0 none, 1 at once, 2 on the end of the listing, 3 as hashing
        // starts, 4 a moment into hashing, 5 on the end of hashing.
        const int when = static_cast<int>(random() % 6);
        const auto delay = std::chrono::microseconds(random() % 1500);
        bool stopped = false;
        const auto stop = [&] {
            runner.Stop();
            stopped = true;
        };

        if (verify) {
            ++verifyRuns;
            ASSERT_TRUE(runner.StartVerification(true));
            if (when == 1 || when == 3) stop();
            if (when == 4) {
                std::this_thread::sleep_for(delay);
                stop();
            }
        } else {
            ASSERT_TRUE(runner.StartNewTask({{U(dir / "r"), true}}, U(dir.path()), classId, true));
            if (when == 1) stop();
        }
        const Outcome outcome = Pump([&](Moment m) {
            if ((m == Moment::EnumDoneArrived && when == 2) || (m == Moment::HashingStarted && when == 3) ||
                (m == Moment::HashDoneArrived && when == 5)) {
                stop();
            }
            if (m == Moment::HashingStarted && when == 4) {
                std::this_thread::sleep_for(delay);
                stop();
            }
        });

        CQmQuorviaDoc& document = GetQuorviaDoc();
        const auto items = Items();
        EXPECT_EQ(runner.GetPhase(), CQmTaskRunner::Phase::Idle);
        EXPECT_FALSE(document.IsBusy());
        EXPECT_TRUE(test::NoWorkerThreadsLeft());

        if (outcome.enumDone && outcome.enumLParam == 1) {
            // Stopped while listing: no hashing, totals cover what was found.
            ++cancelledRuns;
            EXPECT_FALSE(outcome.hashDone);
            uint64_t bytes = 0;
            for (CQmQuorviaItem* item : items) {
                bytes += item->GetLength();
                EXPECT_FALSE(item->IsProcessed());
                EXPECT_FALSE(item->HasHash());
            }
            EXPECT_EQ(document.GetTotalBytes(), bytes);
            EXPECT_EQ(document.GetFileCount(), items.size());
            continue;
        }
        ASSERT_TRUE(outcome.hashDone);
        ExpectBuffersHome();
        ASSERT_EQ(items.size(), files.size());

        // In document order: the items the workers took, each finished or
        // (after a stop only, at most one per worker) cancelled, then the
        // untouched ones, again only after a stop.
        bool reachedUntouched = false;
        uint32_t cancelledItems = 0;
        uint64_t processedBytes = 0;
        for (CQmQuorviaItem* item : items) {
            EXPECT_FALSE(item->IsReading());
            EXPECT_EQ(item->GetHandle(), kInvalidHandle);
            if (!item->IsSelected()) {
                // Left out of this pass (no stored hash to verify against).
                EXPECT_TRUE(verify);
                EXPECT_FALSE(item->IsProcessed());
                continue;
            }
            const auto& want = expected.at({document.GetAlgorithm(), item->GetPath()});
            const uint8_t* digest = verify ? item->GetVerifyHash() : item->GetHash();
            const bool good = item->IsProcessed() && item->GetError().empty() &&
                              std::equal(want.begin(), want.end(), digest) && item->HasHash();
            const bool cancelled = item->IsProcessed() && item->GetError() == u"用户已取消";
            const bool untouched = !item->IsProcessed() && item->GetError().empty();
            if (!reachedUntouched && good) {
                processedBytes += item->GetLength();
            } else if (!reachedUntouched && cancelled) {
                EXPECT_TRUE(stopped);
                if (!verify) {
                    EXPECT_FALSE(item->HasHash());
                }
                processedBytes += item->GetLength();
                ++cancelledItems;
            } else if (untouched) {
                EXPECT_TRUE(stopped);
                reachedUntouched = true;
            } else {
                ADD_FAILURE() << "item in no run state: " << Utf16ToUtf8(item->GetPath()) << " processed "
                              << item->IsProcessed() << " error '" << Utf16ToUtf8(item->GetError()) << "'";
            }
        }
        EXPECT_LE(cancelledItems, GetParam());
        EXPECT_EQ(runner.GetProcessedBytes(), processedBytes);
        if (!stopped || (!reachedUntouched && cancelledItems == 0)) {
            ++completeRuns;
            EXPECT_EQ(runner.GetProcessedBytes(), document.GetSelectedBytes());
        }
        if (::testing::Test::HasFailure()) break;
    }
    // The random moments must reach every kind of end.
    EXPECT_GT(cancelledRuns, 0);
    EXPECT_GT(completeRuns, 0);
    EXPECT_GT(verifyRuns, 0);
    RecordProperty("cancelledEnumerations", cancelledRuns);
}

INSTANTIATE_TEST_SUITE_P(Workers, TaskRunnerTest, ::testing::Values(1u, 3u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return std::to_string(info.param) + "Workers";
                         });

}  // namespace
}  // namespace qm
