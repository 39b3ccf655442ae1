// A loop block device over a temporary file, for tests that need a real
// block device. The device detaches itself when its last descriptor closes
// (also when the test process dies), so nothing is left behind.
#pragma once

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/os/file.h"

namespace qm::test {

class LoopDevice {
public:
    // Attaches a free loop device to `backingFile`; check Ok() afterwards
    // (containers often do not permit it).
    explicit LoopDevice(const std::string& backingFile) {
        os::UniqueFile control(::open("/dev/loop-control", O_RDWR | O_CLOEXEC));
        os::UniqueFile backing(::open(backingFile.c_str(), O_RDWR | O_CLOEXEC));
        if (!control || !backing) return;
        for (int attempt = 0; attempt < 8 && !fd_; ++attempt) {
            const int number = ::ioctl(control.get(), LOOP_CTL_GET_FREE);
            if (number < 0) return;
            const std::string path = "/dev/loop" + std::to_string(number);
            struct stat st;
            if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return;
            os::UniqueFile device(::open(path.c_str(), O_RDWR | O_CLOEXEC));
            if (!device) return;
            if (::ioctl(device.get(), LOOP_SET_FD, backing.get()) != 0) {
                if (errno == EBUSY) continue;  // taken by someone else meanwhile
                return;
            }
            struct loop_info64 info;
            std::memset(&info, 0, sizeof info);
            info.lo_flags = LO_FLAGS_AUTOCLEAR;
            if (::ioctl(device.get(), LOOP_SET_STATUS64, &info) != 0) {
                ::ioctl(device.get(), LOOP_CLR_FD, 0);
                return;
            }
            path_ = path;
            fd_ = std::move(device);
        }
    }

    bool Ok() const { return fd_.valid(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    os::UniqueFile fd_;
};

}  // namespace qm::test
