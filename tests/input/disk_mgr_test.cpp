// Device sizes through the disk manager.
//
// Linux only: the cases need pipes, descriptors and loop devices, and Wine
// answers no disk query a Windows volume would; the Windows build checks the
// disk path through the pipeline's reading instead.
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "common/error_record.h"
#include "common/os/file.h"
#include "input/disk_mgr.h"
#include "input/loop_device.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(DiskMgrTest, BothQueriesFailingGiveAllOnesAndTheSizeText) {
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    os::UniqueFile writeEnd(pipeFds[1]);
    os::UniqueFile readEnd(pipeFds[0]);
    {
        CQmPhysicalDiskMgr disk;
        ASSERT_TRUE(disk.Attach(readEnd.get(), u"pipe"));
        EXPECT_EQ(disk.GetName(), u"pipe");
        EXPECT_EQ(disk.GetDiskSize(), ~uint64_t{0});
        std::u16string message;
        ASSERT_TRUE(GetSystemErrorMessage(ESPIPE, message));
        EXPECT_EQ(GetLastErrorText(), u"获取磁盘大小失败:" + message);
        EXPECT_EQ(disk.Detach(), readEnd.get());
        EXPECT_TRUE(disk.GetName().empty());
    }
    EXPECT_TRUE(IsOpen(readEnd.get())) << "a detached descriptor survives the manager";
}

TEST(DiskMgrTest, DestroyingWithoutDetachClosesTheDescriptor) {
    test::TempDir dir;
    const int fd = ::open(dir.Write("f", "x").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    { CQmPhysicalDiskMgr disk; disk.Attach(fd, u""); }
    EXPECT_FALSE(IsOpen(fd));
}

TEST(DiskMgrTest, EndOffsetFallbackKeepsTheReadPosition) {
    test::TempDir dir;
    os::UniqueFile fd(::open(dir.Write("f", "0123456789").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    ASSERT_EQ(::lseek(fd.get(), 4, SEEK_SET), 4);
    CQmPhysicalDiskMgr disk;
    disk.Attach(fd.get(), u"");
    EXPECT_EQ(disk.GetDiskSize(), 10u);
    std::u16string notTty;
    ASSERT_TRUE(GetSystemErrorMessage(ENOTTY, notTty));
    EXPECT_EQ(GetLastErrorText(), u"获取磁盘信息失败:" + notTty) << "the refused length query stays recorded";
    disk.Detach();
    char byte = 0;
    ASSERT_EQ(::read(fd.get(), &byte, 1), 1);
    EXPECT_EQ(byte, '4') << "the size query must not move the reader";
}

TEST(DiskMgrTest, BlockDeviceAnswersTheLengthQuery) {
    test::TempDir dir;
    test::LoopDevice loop(dir.Write("disk.img", std::string(3 << 16, 'z')).string());
    if (!loop.Ok()) GTEST_SKIP() << "no loop device can be attached here";
    os::UniqueFile fd(::open(loop.path().c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    CQmPhysicalDiskMgr disk;
    disk.Attach(fd.get(), u"");
    SetErrorText(0, u"earlier");
    EXPECT_EQ(disk.GetDiskSize(), 3u << 16);
    EXPECT_EQ(GetLastErrorText(), u"earlier") << "a successful query records nothing";
    disk.Detach();
}

}  // namespace
}  // namespace qm

#endif
