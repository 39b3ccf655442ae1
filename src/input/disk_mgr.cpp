// Device size through the device's own length query, with the fallback query
// for devices (and device-like files) that do not answer it.
#include "input/disk_mgr.h"

#include "common/error_record.h"

namespace qm {

CQmDiskMgr::~CQmDiskMgr() {
    fd_.reset();
    name_.clear();
}

bool CQmDiskMgr::Attach(os::FileHandle handle, std::u16string_view name) {
    fd_.reset(handle);
    name_.assign(name);
    return true;
}

os::FileHandle CQmDiskMgr::Detach() {
    name_.clear();
    return fd_.release();
}

CQmPhysicalDiskMgr::~CQmPhysicalDiskMgr() {
    fd_.reset();
    name_.clear();
}

uint64_t CQmPhysicalDiskMgr::GetDiskSize() {
    uint64_t size = 0;
    if (os::QueryDiskLength(fd_.get(), size)) return size;
    SetLastErrorText(0, u"获取磁盘信息失败");
    if (os::QueryDiskLengthFallback(fd_.get(), size)) return size;
    SetLastErrorText(0, u"获取磁盘信息失败");
    ReplaceErrorContext(u"获取磁盘大小失败");
    return ~uint64_t{0};
}

}  // namespace qm
