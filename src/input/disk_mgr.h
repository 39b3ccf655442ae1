// The size of a block device, asked of the device itself.
//
// The manager works on a descriptor the caller already opened: Attach takes
// it over, GetDiskSize queries it, Detach hands it back unclosed. A manager
// destroyed while it still holds a descriptor closes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/unique_fd.h"

namespace qm {

class CQmDiskMgr {
public:
    CQmDiskMgr() = default;
    CQmDiskMgr(const CQmDiskMgr&) = delete;
    CQmDiskMgr& operator=(const CQmDiskMgr&) = delete;
    virtual ~CQmDiskMgr();

    // Takes over `fd` (a descriptor already held is closed first) and the
    // name (empty for none). Always true.
    bool Attach(int fd, std::u16string_view name);
    // Gives the descriptor back (-1 when none) and forgets it and the name.
    int Detach();

    int GetHandle() const { return fd_.get(); }
    const std::u16string& GetName() const { return name_; }

protected:
    std::u16string name_;
    UniqueFd fd_;
};

class CQmPhysicalDiskMgr : public CQmDiskMgr {
public:
    CQmPhysicalDiskMgr() = default;
    ~CQmPhysicalDiskMgr() override;

    // The device's size in bytes: ioctl(BLKGETSIZE64), else the end offset
    // (lseek SEEK_END). All ones on failure, with "获取磁盘大小失败" and the
    // system's description recorded.
    uint64_t GetDiskSize();
};

}  // namespace qm
