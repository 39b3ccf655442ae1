// The reader and the hasher as threads, over plain range objects: the records
// they exchange and the outcome of each item.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/utf.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"
#include "input/io_object.h"
#include "pipeline/hash_thread.h"
#include "pipeline/pipeline_test_util.h"
#include "pipeline/read_thread.h"
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr uint64_t kMiB = 0x100000;

class ListReader : public CQmReadThread {
public:
    CQmIoObject* NextItem(int32_t& cursor) override {
        if (cursor < 0 || static_cast<size_t>(cursor) >= items.size()) return nullptr;
        return items[static_cast<size_t>(cursor++)];
    }
    std::vector<CQmIoObject*> items;
};

struct Record {
    bool endOfItem;
    bool endOfStream;
    uint32_t bytesRead;
    uint64_t offset;
    uint64_t remaining;
    CQmIoObject* item;
};

std::u16string SystemText(uint32_t code) { return test::SystemTextFor(code); }

class ReadHashTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBuiltInEngines();
        GetIoQueueMgr().DestroyAll();
        ASSERT_TRUE(GetIoQueueMgr().CreateQueue(0, 16, kMiB));
        ASSERT_TRUE(GetIoQueueMgr().CreateQueue(1, 0, 0));
        reader.SetQueues(0, -1, 1);
        hasher.SetQueues(1, -1, -1);
        ASSERT_TRUE(hasher.SetAlgorithm(QM_HASH_SHA1));
    }
    void TearDown() override {
        // Whatever a failed test left blocked is released before the queues go.
        reader.SignalStop();
        hasher.SignalStop();
        while (!reader.WaitFinished(10)) {
            while (CQmIoBuffer* b = GetIoQueueMgr().TryGet(1)) GetIoQueueMgr().Put(b, -1);
        }
        reader.Stop(false, QM_INFINITE, false);
        hasher.Stop(false, QM_INFINITE, false);
        GetIoQueueMgr().DestroyAll();
    }

    std::unique_ptr<CQmIoObject> Object(const fs::path& file, uint64_t length = 0) {
        auto object = std::make_unique<CQmIoObject>(test::PathText(file));
        object->SetRange(std::nullopt, 0, length);
        object->SetSelected(true);
        return object;
    }

    // Takes every record the reader sends, as a hasher would, up to and
    // including end-of-stream.
    std::vector<Record> Drain() {
        std::vector<Record> records;
        for (;;) {
            CQmIoBuffer* b = GetIoQueueMgr().Get(1);
            if (!b) {
                ADD_FAILURE() << "queue wait failed";
                break;
            }
            records.push_back({b->endOfItem != 0, b->endOfStream != 0, b->bytesRead, b->offset, b->remaining, b->item});
            const bool last = b->endOfStream != 0;
            GetIoQueueMgr().Put(b, -1);
            if (last) break;
        }
        return records;
    }

    // Blocks until the reader has filled every free buffer.
    void WaitForFullQueue() {
        const auto limit = std::chrono::steady_clock::now() + 60s;
        while (GetIoQueueMgr().GetQueueLength(1) < 16 && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_EQ(GetIoQueueMgr().GetQueueLength(1), 16u);
    }

    test::TempDir dir;
    ListReader reader;
    CQmHashFileThread hasher;
};

TEST_F(ReadHashTest, FilesTravelAsWholeBlocksThenOneEndRecord) {
    const auto big = dir.Write("three", test::PatternBytes(3 * kMiB, 1));
    const auto odd = dir.Write("odd", test::PatternBytes(kMiB + 1, 2));
    const auto empty = dir.Write("empty", "");
    auto a = Object(big), b = Object(odd), c = Object(empty);
    reader.items = {a.get(), b.get(), c.get()};
    ASSERT_TRUE(reader.Start());
    const std::vector<Record> r = Drain();
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));

    ASSERT_EQ(r.size(), 4u + 3u + 1u + 1u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(r[k].endOfItem);
        EXPECT_EQ(r[k].bytesRead, kMiB);
        EXPECT_EQ(r[k].offset, k * kMiB);
        EXPECT_EQ(r[k].item, a.get());
    }
    EXPECT_TRUE(r[3].endOfItem);
    EXPECT_EQ(r[3].remaining, 0u);
    EXPECT_EQ(r[3].item, a.get());

    EXPECT_EQ(r[4].bytesRead, kMiB);
    EXPECT_EQ(r[5].bytesRead, 1u);
    EXPECT_EQ(r[5].offset, kMiB);
    EXPECT_TRUE(r[6].endOfItem);
    EXPECT_EQ(r[6].remaining, 0u);

    EXPECT_TRUE(r[7].endOfItem) << "an empty file sends only its end record";
    EXPECT_EQ(r[7].item, c.get());
    EXPECT_EQ(r[7].remaining, 0u);

    EXPECT_TRUE(r[8].endOfStream);
    EXPECT_EQ(r[8].item, nullptr);
    EXPECT_EQ(reader.GetProcessedBytes(), 4 * kMiB + 1);
    EXPECT_EQ(GetIoQueueMgr().GetQueueLength(0), 16u);
    for (auto* o : {a.get(), b.get(), c.get()}) {
        EXPECT_EQ(o->GetHandle(), kInvalidHandle) << "every file is closed after reading";
        EXPECT_TRUE(o->IsUpdated() || o->IsReading());
    }
}

TEST_F(ReadHashTest, OutcomesOfReadOpenAndReadFailures) {
    const std::string data = test::PatternBytes(2 * kMiB + 77, 3);
    const auto good = dir.Write("good", data);
    const auto empty = dir.Write("empty", "");
    auto ok = Object(good);
    auto zero = Object(empty);
    auto vanished = Object(dir / "gone", 5000);  // the size it had when listed
    auto vanishedEmpty = Object(dir / "gone-too", 0);
    fs::create_directories(dir / "folder");
    auto folder = Object(dir / "folder");
    reader.items = {ok.get(), zero.get(), vanished.get(), vanishedEmpty.get(), folder.get()};

    ASSERT_TRUE(hasher.Start());
    ASSERT_TRUE(reader.Start());
    ASSERT_TRUE(hasher.Stop(false, QM_INFINITE, false));
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));

    EXPECT_TRUE(ok->HasHash());
    EXPECT_TRUE(ok->GetError().empty());
    EXPECT_EQ(std::vector<uint8_t>(ok->GetHash(), ok->GetHash() + 20), test::ReferenceDigest("SHA1", data));

    EXPECT_TRUE(zero->HasHash()) << "an empty file has the digest of no data";
    EXPECT_EQ(std::vector<uint8_t>(zero->GetHash(), zero->GetHash() + 20), test::ReferenceDigest("SHA1", ""));

    EXPECT_FALSE(vanished->HasHash());
    EXPECT_EQ(vanished->GetError(), u"打开文件失败:" + SystemText(os::kErrorNotFound));
    EXPECT_FALSE(vanishedEmpty->HasHash()) << "a file that could not be opened is not an empty file";
    EXPECT_EQ(vanishedEmpty->GetError(), u"打开文件失败:" + SystemText(os::kErrorNotFound));

    EXPECT_FALSE(folder->HasHash());
    EXPECT_EQ(folder->GetError(), u"打开文件失败:" + SystemText(os::kErrorIsDirectory));

    for (auto* o : reader.items) {
        EXPECT_TRUE(o->IsProcessed());
        EXPECT_FALSE(o->IsReading());
        EXPECT_TRUE(o->IsUpdated());
    }
    // Bytes that could not be read still count, so the total is reached.
    EXPECT_EQ(hasher.GetProcessedBytes(), data.size() + 5000 + folder->GetLength());
    EXPECT_TRUE(reader.GetErrorText().empty()) << "failed opens are the items' own errors";
    EXPECT_EQ(GetIoQueueMgr().GetQueueLength(0), 16u);
}

TEST_F(ReadHashTest, StopMidFileCancelsThatItemAndLeavesTheRest) {
    // More data than the 16 buffers hold: the reader blocks in the middle.
    const auto big = dir.Write("big", test::PatternBytes(20 * kMiB, 4));
    const auto next = dir.Write("next", "abc");
    auto first = Object(big), second = Object(next);
    reader.items = {first.get(), second.get()};
    ASSERT_TRUE(reader.Start());
    WaitForFullQueue();
    reader.SignalStop();
    ASSERT_TRUE(hasher.Start());
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));
    ASSERT_TRUE(hasher.Stop(false, QM_INFINITE, false));

    EXPECT_EQ(first->GetError(), u"用户已取消");
    EXPECT_FALSE(first->HasHash());
    EXPECT_TRUE(first->IsProcessed());
    EXPECT_EQ(first->GetHandle(), kInvalidHandle);
    EXPECT_EQ(reader.GetProcessedBytes(), 16 * kMiB);
    EXPECT_EQ(hasher.GetProcessedBytes(), 20 * kMiB) << "16 MiB hashed plus 4 MiB reported unread";

    EXPECT_FALSE(second->IsUpdated());
    EXPECT_FALSE(second->IsReading());
    EXPECT_FALSE(second->IsProcessed());
    EXPECT_TRUE(second->GetError().empty());
    EXPECT_EQ(GetIoQueueMgr().GetQueueLength(0), 16u);
}

TEST_F(ReadHashTest, FileThatShrinksFailsOneThatGrowsIsHashedAsOpened) {
    const std::string data = test::PatternBytes(20 * kMiB, 5);
    for (const bool shrink : {true, false}) {
        SCOPED_TRACE(shrink ? "shrinks" : "grows");
        const auto file = dir.Write("changing", data);
        auto object = Object(file);
        reader.items = {object.get()};
        ASSERT_TRUE(reader.Start());
        WaitForFullQueue();  // opened with 20 MiB, 16 MiB read
        const uint64_t cut = 17 * kMiB + 5;
        if (shrink) {
            fs::resize_file(file, cut);
        } else {
            std::ofstream(file, std::ios::binary | std::ios::app) << "more bytes at the end";
        }
        ASSERT_TRUE(hasher.Start());
        ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));
        ASSERT_TRUE(hasher.Stop(false, QM_INFINITE, false));

        EXPECT_TRUE(object->IsProcessed());
        EXPECT_EQ(object->GetLength(), data.size()) << "the length stays the size at open";
        EXPECT_EQ(hasher.GetProcessedBytes(), data.size()) << "unread bytes count, so the total is reached";
        if (shrink) {
            // The first 17 MiB are no version the file ever had.
            EXPECT_EQ(object->GetError(), kChangedWhileReadText);
            EXPECT_FALSE(object->HasHash());
            EXPECT_EQ(reader.GetProcessedBytes(), cut);
        } else {
            EXPECT_TRUE(object->GetError().empty());
            ASSERT_TRUE(object->HasHash());
            EXPECT_EQ(std::vector<uint8_t>(object->GetHash(), object->GetHash() + 20), test::ReferenceDigest("SHA1", data));
        }
    }
}

#if !defined(_WIN32)
// Linux only: the files of /proc that report no size, and a pseudo-terminal
// whose reads fail part way; Windows has neither in a path it can open.
TEST_F(ReadHashTest, FilesReportingSizeZeroAreReadToTheirEnd) {
    // Files of /proc report the size 0 but have content; an empty file is
    // read to its end too and still has the digest of no data.
    const auto empty = dir.Write("empty", "");
    std::vector<std::pair<fs::path, std::string>> cases = {{"/proc/sys/kernel/ostype", {}}, {"/proc/self/cmdline", {}},
                                                           {empty, {}}};
    std::vector<std::unique_ptr<CQmIoObject>> objects;
    for (auto& [path, content] : cases) {
        std::ifstream in(path, std::ios::binary);
        content.assign(std::istreambuf_iterator<char>(in), {});
        objects.push_back(Object(path));
        reader.items.push_back(objects.back().get());
    }
    ASSERT_FALSE(cases[0].second.empty());
    ASSERT_EQ(fs::file_size(cases[0].first), 0u) << "the premise: /proc reports no size";
    ASSERT_TRUE(hasher.Start());
    ASSERT_TRUE(reader.Start());
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));
    ASSERT_TRUE(hasher.Stop(false, QM_INFINITE, false));

    uint64_t total = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first.string());
        const CQmIoObject& o = *objects[i];
        EXPECT_TRUE(o.GetError().empty()) << Utf16ToUtf8(o.GetError());
        ASSERT_TRUE(o.HasHash());
        EXPECT_EQ(std::vector<uint8_t>(o.GetHash(), o.GetHash() + 20), test::ReferenceDigest("SHA1", cases[i].second));
        EXPECT_EQ(o.GetLength(), cases[i].second.size());
        total += cases[i].second.size();
    }
    EXPECT_EQ(hasher.GetProcessedBytes(), total);
    EXPECT_EQ(GetIoQueueMgr().GetQueueLength(0), 16u);
}

TEST_F(ReadHashTest, ReadFailureAtAnOffsetReportsThatOffset) {
    // A terminal whose other side closes after 1 MiB + 100 bytes: reads then
    // fail, as a device with a bad block would, in the second block.
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminals here";
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    class TerminalObject : public CQmIoObject {
    public:
        explicit TerminalObject(int fd) : fd_(fd) {}
        QmFileHandle Open() override { return fd_.get(); }
        os::UniqueFile fd_;
    } object(master);
    object.SetRange(std::nullopt, 0, 2 * kMiB);
    reader.items = {&object};

    std::thread writer([slave] {
        const std::string bytes = test::PatternBytes(kMiB + 100, 6);
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(slave, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::tcdrain(slave);
        ::close(slave);
    });
    ASSERT_TRUE(hasher.Start());
    ASSERT_TRUE(reader.Start());
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));
    ASSERT_TRUE(hasher.Stop(false, QM_INFINITE, false));
    writer.join();

    EXPECT_EQ(object.GetError(), u"读取失败（偏移量=1048576）:" + SystemText(EIO));
    EXPECT_FALSE(object.HasHash());
    EXPECT_TRUE(object.IsProcessed());
    EXPECT_EQ(hasher.GetProcessedBytes(), 2 * kMiB) << "1 MiB hashed plus the 1 MiB not read";
}

#endif

TEST_F(ReadHashTest, StopRightAfterStartStillEndsTheStreamOnce) {
    const auto file = dir.Write("f", "data");
    auto object = Object(file);
    reader.items = {object.get()};
    ASSERT_TRUE(reader.Start());
    reader.SignalStop();
    const std::vector<Record> r = Drain();
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));
    // Depending on when the stop lands the item may have been read; the
    // stream always ends with exactly one end-of-stream record.
    ASSERT_FALSE(r.empty());
    EXPECT_TRUE(r.back().endOfStream);
    for (size_t i = 0; i + 1 < r.size(); ++i) EXPECT_FALSE(r[i].endOfStream);
}

// An engine whose digest cannot be completed, as a provider engine whose
// provider failed.
class FailingEngine : public CQmHashObject {
public:
    FailingEngine() : CQmHashObject(96, u"FAILING", 20) {}
    bool Init() override { return true; }
    void Update(const void*, uint32_t) override {}
    uint32_t Final(uint8_t*) override {
        SetErrorText(EIO, u"计算哈希值失败:提供程序不可用");
        return 0;
    }
};

TEST_F(ReadHashTest, DigestThatCannotBeCompletedIsAnErrorNotAnEmptyHash) {
    if (!GetHashCatalog().Contains(96)) {
        GetHashCatalog().RegisterClass([]() -> std::unique_ptr<CQmHashObject> { return std::make_unique<FailingEngine>(); });
    }
    ASSERT_TRUE(hasher.SetAlgorithm(96));
    auto object = Object(dir.Write("f", "some data"));
    reader.items = {object.get()};
    ASSERT_TRUE(hasher.Start());
    ASSERT_TRUE(reader.Start());
    ASSERT_TRUE(hasher.Stop(false, QM_INFINITE, false));
    ASSERT_TRUE(reader.Stop(false, QM_INFINITE, false));
    EXPECT_FALSE(object->HasHash());
    EXPECT_TRUE(object->IsProcessed());
    EXPECT_EQ(object->GetError(), u"计算哈希值失败:提供程序不可用");
}

TEST_F(ReadHashTest, HasherWithoutAlgorithmKeepsItsOwn) {
    EXPECT_FALSE(hasher.SetAlgorithm(6));
    EXPECT_EQ(GetLastErrorText(), u"设置哈希算法失败:不支持的类ID.");
    EXPECT_EQ(hasher.GetAlgorithm(), QM_HASH_SHA1);
    EXPECT_EQ(CQmDataQmHashThread().GetAlgorithm(), QM_HASH_MD5);
    EXPECT_EQ(CQmDataQmHashThread().GetThreadNumber(), 2u);
}

}  // namespace
}  // namespace qm
