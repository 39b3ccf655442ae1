// Reading ahead of a hashing worker: a helper thread reads a file's blocks
// into the owner's buffers while the owner takes them in order; the owner can
// end it at any point, and it hands over where the device would be needed.
#include "pipeline/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/utf.h"
#include "pipeline/buffer_queue.h"
#include "pipeline/device_turns.h"
#include "pipeline/pipeline_test_util.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

constexpr uint32_t kBlock = 0x10000;
constexpr uint32_t kSlots = 4;

// Reads from the file, as if from memory, until `memoryReads` reads were
// made; after that the bytes are "on the device" (or, with `failAt`, the
// read of that number fails).
class TestProbe : public CQmDeviceProbe {
public:
    int64_t ReadCached(os::FileHandle handle, void* data, size_t size) override {
        const int call = calls.fetch_add(1);
        if (call == failAt) {
            os::SetLastErrorCode(os::kErrorIo);
            return -1;
        }
        if (call >= memoryReads) return os::kNotInMemory;
        return os::ReadFileData(handle, data, size);
    }
    std::atomic<int> calls{0};
    int memoryReads = 1 << 30;
    int failAt = -1;
};

class ReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        content = test::PatternBytes(3 * 0x100000 + 5, 11);
        const auto file = dir / "data";
        test::WriteFile(file, content);
        handle = os::OpenForReading(test::PathText(file));
        ASSERT_TRUE(handle.valid());
        ASSERT_TRUE(queues.CreateQueue(0, kSlots, kBlock));
        while (CQmIoBuffer* buffer = queues.TryGet(0)) buffers.push_back(buffer);
        ASSERT_EQ(buffers.size(), kSlots);
    }
    void TearDown() override {
        for (CQmIoBuffer* buffer : buffers) queues.Put(buffer, -1);
    }

    // Starts a helper on `readAhead`, as a worker with nothing to claim does.
    void StartHelper(CQmReadAhead& readAhead) {
        helper = std::thread([this, &readAhead] {
            readAhead.Produce(helperStop, [this] { return helperStopping.load(); });
        });
    }
    // The owner's side: takes blocks until one ends the read-ahead, or
    // `most` blocks. Returns the last block's state.
    QmReadBlock Take(CQmReadAhead& readAhead, std::string& read, int most = 1 << 30) {
        QmReadBlock last;
        for (int i = 0; i < most; ++i) {
            const QmReadBlock* block = readAhead.Next(ownerStop);
            if (!block) return last;
            last = *block;
            if (block->got > 0) read.append(reinterpret_cast<const char*>(block->data), static_cast<size_t>(block->got));
            // The block is the helper's again once released.
            readAhead.Release();
            if (last.got < 0 || last.needsTurn || static_cast<uint64_t>(last.got) < last.want) break;
            if (read.size() == content.size()) break;
        }
        return last;
    }

    test::TempDir dir;
    std::string content;
    os::UniqueFile handle;
    CQmIoQueueMgr queues;
    std::vector<CQmIoBuffer*> buffers;
    TestProbe probe;
    Event helperStop{false, false};
    Event ownerStop{false, false};
    std::atomic<bool> helperStopping{false};
    std::thread helper;
};

TEST_F(ReadAheadTest, TheOwnerGetsEveryBlockInOrderWhateverTheEndIsCalled) {
    // Up to a range's end, and up to the file's end.
    for (const bool toEnd : {false, true}) {
        SCOPED_TRACE(toEnd);
        ASSERT_TRUE(os::SeekFile(handle.get(), 0, os::SeekOrigin::Begin));
        CQmReadAhead readAhead(handle.get(), 0, content.size(), toEnd, false, probe, buffers);
        StartHelper(readAhead);
        std::string read;
        const QmReadBlock last = Take(readAhead, read);
        readAhead.Finish();
        helper.join();
        EXPECT_TRUE(readAhead.IsDone());
        EXPECT_GE(last.got, 0);
        EXPECT_EQ(read.size(), content.size());
        EXPECT_TRUE(read == content) << "a block went missing, twice or out of order";
    }
    EXPECT_EQ(probe.calls.load(), 0) << "plain reads were asked for";
}

TEST_F(ReadAheadTest, WhereTheDeviceIsNeededTheOwnerReadsOnItself) {
    probe.memoryReads = 5;
    CQmReadAhead readAhead(handle.get(), 0, content.size(), false, true, probe, buffers);
    StartHelper(readAhead);
    std::string read;
    const QmReadBlock last = Take(readAhead, read);
    EXPECT_TRUE(last.needsTurn);
    EXPECT_EQ(read.size(), 5u * kBlock);
    readAhead.Finish();
    helper.join();
    // The helper stopped where it was: the handle goes on from there.
    std::string rest(content.size(), '\0');
    const QmReadBlock block = ReadBlock(handle.get(), reinterpret_cast<uint8_t*>(rest.data()), rest.size(), false, probe);
    ASSERT_GE(block.got, 0);
    rest.resize(static_cast<size_t>(block.got));
    EXPECT_TRUE(read + rest == content);
}

TEST_F(ReadAheadTest, AFailedReadCarriesItsOffsetAndReason) {
    probe.failAt = 2;
    CQmReadAhead readAhead(handle.get(), 0, content.size(), false, true, probe, buffers);
    StartHelper(readAhead);
    std::string read;
    const QmReadBlock last = Take(readAhead, read);
    EXPECT_EQ(last.got, -1);
    EXPECT_EQ(read.size(), 2u * kBlock);
    EXPECT_EQ(readAhead.GetErrorText(),
              u"读取失败（偏移量=" + Utf8ToUtf16Lossy(std::to_string(2 * kBlock)) + u"）:" + test::SystemTextFor(os::kErrorIo));
    readAhead.Finish();
    helper.join();
}

TEST_F(ReadAheadTest, FinishOrStopReleasesAHelperWaitingForABuffer) {
    // The owner takes one block and ends: the helper, which has filled every
    // buffer and waits for one, lets go.
    {
        CQmReadAhead readAhead(handle.get(), 0, content.size(), false, false, probe, buffers);
        StartHelper(readAhead);
        std::string read;
        Take(readAhead, read, 1);
        readAhead.Finish();
        helper.join();
        EXPECT_TRUE(readAhead.IsDone());
    }
    // A stop of both sides: the helper ends, and the owner's wait for the
    // next block returns nothing.
    {
        ASSERT_TRUE(os::SeekFile(handle.get(), 0, os::SeekOrigin::Begin));
        CQmReadAhead readAhead(handle.get(), 0, content.size(), false, false, probe, buffers);
        StartHelper(readAhead);
        std::string read;
        Take(readAhead, read, 1);
        helperStopping = true;
        helperStop.Set();
        helper.join();
        EXPECT_TRUE(readAhead.IsDone());
        ownerStop.Set();
        while (readAhead.Next(ownerStop)) readAhead.Release();
        EXPECT_FALSE(ownerStop.IsSet()) << "the owner's wait ended on its stop";
    }
}

}  // namespace
}  // namespace qm
