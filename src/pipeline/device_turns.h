// Turns at the storage devices that must be read one file at a time.
//
// A spinning disk read in two places at once spends its time seeking: two
// files read in parallel from it come in far slower than the same two read
// one after the other. The workers of a hashing run therefore read the files
// of such a device in turns: a worker that has to go to the device for a
// file's bytes first takes the device's turn and keeps it until the file is
// done. Bytes the system already holds in memory need no device, so they are
// read without a turn; solid-state, network and unknown devices never need
// one.
//
// What the system says about a file's device comes through CQmDeviceProbe,
// so tests can put a device of any kind under their files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "common/os/file.h"
#include "pipeline/sync.h"

namespace qm {

class CQmDeviceProbe {
public:
    virtual ~CQmDeviceProbe() = default;
    // An id shared by the files of one device; false when the system does
    // not tell (the file is then read without turns). `opened` are the
    // attributes the open found: a regular file's name its volume, which
    // spares asking the system again for every file.
    virtual bool GetStorageId(os::FileHandle handle, const os::FileAttributes& opened, uint64_t& id);
    // Whether reading two files of the device at once makes it seek. Asked
    // once per device and run.
    virtual bool SeeksSlowly(os::FileHandle handle);
    // A read served from memory only: os::kNotInMemory when the bytes would
    // have to come from the device.
    virtual int64_t ReadCached(os::FileHandle handle, void* data, size_t size);
};

// The probe that asks the operating system.
CQmDeviceProbe& SystemDeviceProbe();

// One device's turn: a semaphore of one unit, and a count of the readers
// holding it, kept to show that there is never more than one.
class CQmDeviceTurn {
public:
    // Waits for the turn; false when `stop` was set first.
    bool Take(Event& stop);
    void Give();

private:
    friend class CQmDeviceTurns;
    Semaphore turn_{1, 1};
    std::atomic<uint32_t> holders_{0};
    std::atomic<uint32_t>* mostHolders_ = nullptr;
};

class CQmDeviceTurns {
public:
    explicit CQmDeviceTurns(CQmDeviceProbe& probe) : probe_(probe) {}
    CQmDeviceTurns(const CQmDeviceTurns&) = delete;
    CQmDeviceTurns& operator=(const CQmDeviceTurns&) = delete;

    // The turn of the device under the open file, or null when its files
    // may be read in parallel.
    CQmDeviceTurn* TurnFor(os::FileHandle handle, const os::FileAttributes& opened);

    CQmDeviceProbe& Probe() const { return probe_; }

    // The most readers that held the turn of one device at the same time
    // (0 when no turn was taken).
    uint32_t GetMostHolders() const { return mostHolders_.load(std::memory_order_acquire); }

private:
    struct Device {
        uint64_t id;
        std::unique_ptr<CQmDeviceTurn> turn;  // null: read in parallel
    };

    CQmDeviceProbe& probe_;
    std::mutex lock_;
    std::vector<Device> devices_;  // a run meets few devices
    std::atomic<uint32_t> mostHolders_{0};
};

}  // namespace qm
