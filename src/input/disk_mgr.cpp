// Device size through the block-device ioctl, with the end offset as the
// fallback for devices (and device-like files) that do not answer it.
#include "input/disk_mgr.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "common/error_record.h"

namespace qm {

CQmDiskMgr::~CQmDiskMgr() {
    fd_.reset();
    name_.clear();
}

bool CQmDiskMgr::Attach(int fd, std::u16string_view name) {
    fd_.reset(fd);
    name_.assign(name);
    return true;
}

int CQmDiskMgr::Detach() {
    name_.clear();
    return fd_.release();
}

CQmPhysicalDiskMgr::~CQmPhysicalDiskMgr() {
    fd_.reset();
    name_.clear();
}

uint64_t CQmPhysicalDiskMgr::GetDiskSize() {
    uint64_t size = 0;
    if (::ioctl(fd_.get(), BLKGETSIZE64, &size) == 0) return size;
    SetLastErrorText(static_cast<uint32_t>(errno), u"获取磁盘信息失败");

    // The end offset is the size; the reader starts from the current
    // position, so it is put back where it was.
    const off_t current = ::lseek(fd_.get(), 0, SEEK_CUR);
    const off_t end = current < 0 ? current : ::lseek(fd_.get(), 0, SEEK_END);
    if (end >= 0) {
        if (::lseek(fd_.get(), current, SEEK_SET) >= 0) return static_cast<uint64_t>(end);
    }
    SetLastErrorText(static_cast<uint32_t>(errno), u"获取磁盘信息失败");
    ReplaceErrorContext(u"获取磁盘大小失败");
    return ~uint64_t{0};
}

}  // namespace qm
