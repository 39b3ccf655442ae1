// Opening byte ranges of files and devices.
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "common/utf.h"
#include "input/io_object.h"
#if !defined(_WIN32)
#include "input/loop_device.h"
#endif
#include "support/path_text.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

std::u16string U16(const std::filesystem::path& path) { return test::PathText(path); }

std::u16string WithSystemText(std::u16string_view context, uint32_t error) {
    return std::u16string(context) + u":" + test::SystemTextFor(error);
}

std::string ReadAll(QmFileHandle handle) {
    std::string bytes;
    char buffer[256];
    int64_t n;
    while ((n = os::ReadFileData(handle, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
}

void ExpectFailedOpen(CQmIoObject& object, const std::u16string& text) {
    EXPECT_EQ(object.Open(), kInvalidHandle);
    EXPECT_EQ(object.GetHandle(), kInvalidHandle);
    EXPECT_EQ(object.GetError(), text);
    EXPECT_EQ(GetLastErrorText(), text);
    EXPECT_TRUE(object.IsProcessed());
    EXPECT_TRUE(object.IsUpdated());
    EXPECT_FALSE(object.IsReading());
}

class RangeReaderTest : public ::testing::Test {
protected:
    test::TempDir dir_;
    std::u16string file_ = U16(dir_.Write("ten.bin", "0123456789"));
};

TEST_F(RangeReaderTest, OpensAtTheStartOffsetAndSettlesTheLength) {
    CQmIoObject object(file_);
    object.SetRange(std::nullopt, 3, 0);
    const QmFileHandle fd = object.Open();
    ASSERT_NE(fd, kInvalidHandle);
    EXPECT_EQ(object.GetLength(), 7u);
    EXPECT_EQ(object.Open(), fd) << "an open object keeps its descriptor";
    EXPECT_EQ(ReadAll(fd), "3456789");
    EXPECT_TRUE(object.GetError().empty());
    EXPECT_FALSE(object.IsProcessed());
    object.CloseFile();
    EXPECT_EQ(object.GetHandle(), kInvalidHandle);
#if !defined(_WIN32)
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "CloseFile closes the descriptor";
#endif
}

TEST_F(RangeReaderTest, AcceptsRangesUpToTheEndAndRefusesBeyond) {
    struct Case {
        uint64_t start, length;
        bool ok;
        uint64_t settled;
    };
    const Case cases[] = {
        {10, 0, true, 0},   // start at the end: an empty range
        {4, 6, true, 6},    // exactly up to the end
        {0, 10, true, 10},  // the whole file
        {11, 0, false, 0},  // start one byte beyond
        {4, 7, false, 0},   // one byte too long
        {1, ~uint64_t{0} - 1, false, 0},  // start + length would wrap around
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.start << " length " << c.length);
        CQmIoObject object(file_);
        object.SetRange(std::nullopt, c.start, c.length);
        if (c.ok) {
            EXPECT_NE(object.Open(), kInvalidHandle);
            EXPECT_EQ(object.GetLength(), c.settled);
        } else {
            ExpectFailedOpen(object, u"读取范围超出文件大小。");
            EXPECT_EQ(object.GetLength(), c.length) << "a refused range keeps its length";
        }
    }
}

TEST_F(RangeReaderTest, VanishedFileRecordsTheSystemText) {
    CQmIoObject object(U16(dir_ / "gone.bin"));
    ExpectFailedOpen(object, WithSystemText(u"打开文件失败", os::kErrorNotFound));
    EXPECT_EQ(GetLastErrorCode(), os::kErrorNotFound);
}

TEST_F(RangeReaderTest, DirectoryFailsWhateverSizeItReports) {
    // Some file systems give a directory the size 0: read as a file it would
    // pass for an empty one.
    CQmIoObject object(U16(dir_.path()));
    ExpectFailedOpen(object, WithSystemText(u"打开文件失败", os::kErrorIsDirectory));
}

#if defined(_WIN32)
// The console's input has no fixed content; a device path names a disk.
TEST_F(RangeReaderTest, InputsWithoutFixedContentFailWithoutBlocking) {
    EXPECT_TRUE(IsDevicePath(u"\\\\.\\PhysicalDrive0"));
    EXPECT_FALSE(IsDevicePath(file_));
    EXPECT_FALSE(IsDevicePath(u"NUL"));
    CQmIoObject object(u"NUL");
    ExpectFailedOpen(object, u"打开文件失败:不支持的文件类型。");
}
#else
// Linux only: named pipes, the character devices of /dev, sockets, the
// files of /proc and loop devices have no Windows counterpart in a path.
TEST_F(RangeReaderTest, InputsWithoutFixedContentFailWithoutBlocking) {
    const std::u16string unsupported = u"打开文件失败:不支持的文件类型。";
    const std::string fifo = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        SCOPED_TRACE("named pipe without a writer");
        CQmIoObject object(PathFromOs(fifo));
        ExpectFailedOpen(object, unsupported);
    }
    // /dev/zero never ends and /dev/urandom differs every time: neither has
    // a digest that could be checked again, and neither is a disk.
    for (const char16_t* device : {u"/dev/null", u"/dev/zero", u"/dev/urandom"}) {
        SCOPED_TRACE(Utf16ToUtf8(device));
        EXPECT_FALSE(IsDevicePath(device));
        CQmIoObject object(device);
        ExpectFailedOpen(object, unsupported);
    }
    {
        SCOPED_TRACE("socket");
        const std::string path = (dir_ / "sock").string();
        os::UniqueFile sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ASSERT_TRUE(sock.valid());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, path.size());
        ASSERT_EQ(::bind(sock.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        CQmIoObject object(PathFromOs(path));
        ExpectFailedOpen(object, WithSystemText(u"打开文件失败", ENXIO));
    }
    EXPECT_FALSE(IsDevicePath(file_));
}

TEST_F(RangeReaderTest, WholeFileOfSizeZeroIsReadToItsEnd) {
    struct Case {
        std::u16string path;
        uint64_t start;
        bool toEnd;
    };
    const std::u16string empty = U16(dir_.Write("empty", ""));
    for (const Case& c : {Case{u"/proc/self/status", 0, true}, Case{empty, 0, true}, Case{file_, 0, false},
                          Case{file_, 4, false}}) {
        SCOPED_TRACE(Utf16ToUtf8(c.path));
        CQmIoObject object(c.path);
        object.SetRange(std::nullopt, c.start, 0);
        ASSERT_NE(object.Open(), kInvalidHandle);
        EXPECT_EQ(object.ReadsToEnd(), c.toEnd);
        if (c.toEnd) {
            EXPECT_EQ(object.GetLength(), 0u) << "the length is settled by the read";
        }
    }
    EXPECT_FALSE(ReadAll(CQmIoObject(u"/proc/self/status").Open()).empty());
}

TEST_F(RangeReaderTest, BlockDeviceSizeAndWord) {
    const std::string backing = dir_.Write("disk.img", std::string(1 << 20, 'd')).string();
    test::LoopDevice loop(backing);
    if (!loop.Ok()) GTEST_SKIP() << "no loop device can be attached here";
    const std::u16string device = PathFromOs(loop.path());
    EXPECT_TRUE(IsDevicePath(device));

    CQmIoObject whole(device);
    ASSERT_NE(whole.Open(), kInvalidHandle);
    EXPECT_EQ(whole.GetLength(), 1u << 20);

    CQmIoObject beyond(device);
    beyond.SetRange(std::nullopt, (1u << 20) + 1, 0);
    ExpectFailedOpen(beyond, u"读取范围超出磁盘大小。");
}

#endif

TEST_F(RangeReaderTest, SetHashAcceptsAtMostSixtyFourBytes) {
    CQmIoObject object(file_);
    std::vector<uint8_t> bytes(65, 0xAB);
    ASSERT_TRUE(object.SetHash(bytes.data(), 64, 5));
    EXPECT_TRUE(object.HasHash());
    EXPECT_TRUE(object.IsUpdated());
    EXPECT_EQ(std::vector<uint8_t>(object.GetHash(), object.GetHash() + 64), std::vector<uint8_t>(64, 0xAB));

    std::vector<uint8_t> other(65, 0x11);
    EXPECT_FALSE(object.SetHash(other.data(), 65, 5));
    EXPECT_EQ(GetLastErrorText(), u"设置哈希值失败:缓冲区长度不足。");
    EXPECT_EQ(object.GetHash()[0], 0xAB) << "a refused digest leaves the old one";

    // No bytes: zeros over the size, and no stored hash.
    EXPECT_TRUE(object.SetHash(nullptr, 20, 5));
    EXPECT_FALSE(object.HasHash());
    EXPECT_EQ(object.GetHash()[19], 0);
    EXPECT_EQ(object.GetHash()[20], 0xAB);
}

TEST_F(RangeReaderTest, ResetKeepsHashFlagErrorAndSelection) {
    CQmIoObject object(file_);
    const uint8_t digest[4] = {1, 2, 3, 4};
    object.SetHash(digest, 4, 1);
    object.SetError(u"读取失败");
    object.SetSelected(true);
    object.SetRange(std::nullopt, 2, 5);
    ASSERT_NE(object.Open(), kInvalidHandle);
    object.SetProcessed(true);

    object.Reset();
    EXPECT_EQ(object.GetHandle(), kInvalidHandle);
    EXPECT_TRUE(object.GetPath().empty());
    EXPECT_EQ(object.GetHash()[0], 0);
    EXPECT_FALSE(object.IsProcessed());
    EXPECT_EQ(object.GetOffset(), 0u);
    EXPECT_EQ(object.GetLength(), 0u);
    EXPECT_TRUE(object.HasHash());
    EXPECT_EQ(object.GetError(), u"读取失败");
    EXPECT_TRUE(object.IsSelected());
}

TEST_F(RangeReaderTest, FlagsAndRangeSetters) {
    CQmIoObject object(file_);
    object.SetRange(u"/other", 7, 9);
    object.SetRange(std::nullopt, kKeepRangeValue, kKeepRangeValue);
    EXPECT_EQ(object.GetPath(), u"/other");
    EXPECT_EQ(object.GetOffset(), 7u);
    EXPECT_EQ(object.GetLength(), 9u);

    object.SetReading(true);
    object.SetProcessed(true);
    EXPECT_FALSE(object.IsReading()) << "processed ends the reading state";

    object.SetUpdated(false);
    object.SetError(u"");
    EXPECT_TRUE(object.IsUpdated()) << "clearing the error also asks for a redraw";
    EXPECT_TRUE(object.GetError().empty());
}

}  // namespace
}  // namespace qm
