// The size of a block device, asked of the device itself.
//
// The manager works on a handle the caller already opened: Attach takes it
// over, GetDiskSize queries it, Detach hands it back unclosed. A manager
// destroyed while it still holds a handle closes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/os/file.h"

namespace qm {

class CQmDiskMgr {
public:
    CQmDiskMgr() = default;
    CQmDiskMgr(const CQmDiskMgr&) = delete;
    CQmDiskMgr& operator=(const CQmDiskMgr&) = delete;
    virtual ~CQmDiskMgr();

    // Takes over `handle` (a handle already held is closed first) and the
    // name (empty for none). Always true.
    bool Attach(os::FileHandle handle, std::u16string_view name);
    // Gives the handle back (os::kInvalidFileHandle when none) and forgets
    // it and the name.
    os::FileHandle Detach();

    os::FileHandle GetHandle() const { return fd_.get(); }
    const std::u16string& GetName() const { return name_; }

protected:
    std::u16string name_;
    os::UniqueFile fd_;
};

class CQmPhysicalDiskMgr : public CQmDiskMgr {
public:
    CQmPhysicalDiskMgr() = default;
    ~CQmPhysicalDiskMgr() override;

    // The device's size in bytes: the device's length query, else the
    // fallback one (os/file.h); a refused first query leaves "获取磁盘信息失败"
    // recorded. All ones when both fail, with "获取磁盘大小失败" and the
    // system's description recorded.
    uint64_t GetDiskSize();
};

}  // namespace qm
