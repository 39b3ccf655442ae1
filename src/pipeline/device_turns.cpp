#include "pipeline/device_turns.h"

#include "common/os/storage.h"

namespace qm {

bool CQmDeviceProbe::GetStorageId(os::FileHandle handle, const os::FileAttributes& opened, uint64_t& id) {
    if (opened.kind == os::FileKind::Regular) {
        id = opened.identity.volume;
        return true;
    }
    return os::GetStorageId(handle, id);
}

bool CQmDeviceProbe::SeeksSlowly(os::FileHandle handle) {
    return os::QuerySeekPenalty(handle) == os::SeekPenalty::Incurred;
}

int64_t CQmDeviceProbe::ReadCached(os::FileHandle handle, void* data, size_t size) {
    return os::ReadFileDataCached(handle, data, size);
}

CQmDeviceProbe& SystemDeviceProbe() {
    static CQmDeviceProbe probe;
    return probe;
}

bool CQmDeviceTurn::Take(Event& stop) {
    if (turn_.Acquire(&stop) != Semaphore::WaitResult::Acquired) return false;
    const uint32_t now = holders_.fetch_add(1, std::memory_order_acq_rel) + 1;
    uint32_t most = mostHolders_->load(std::memory_order_acquire);
    while (now > most && !mostHolders_->compare_exchange_weak(most, now, std::memory_order_acq_rel)) {
    }
    return true;
}

void CQmDeviceTurn::Give() {
    holders_.fetch_sub(1, std::memory_order_acq_rel);
    turn_.Release(1);
}

CQmDeviceTurn* CQmDeviceTurns::TurnFor(os::FileHandle handle, const os::FileAttributes& opened) {
    uint64_t id = 0;
    if (!probe_.GetStorageId(handle, opened, id)) return nullptr;
    std::lock_guard guard(lock_);
    for (const Device& device : devices_) {
        if (device.id == id) return device.turn.get();
    }
    // The first file of a device asks what kind it is; the answer holds for
    // the rest of the run.
    std::unique_ptr<CQmDeviceTurn> turn;
    if (probe_.SeeksSlowly(handle)) {
        turn = std::make_unique<CQmDeviceTurn>();
        turn->mostHolders_ = &mostHolders_;
    }
    devices_.push_back({id, std::move(turn)});
    return devices_.back().turn.get();
}

}  // namespace qm
