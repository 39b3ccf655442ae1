// The storage device under a file on Linux: the block device numbers from
// fstat, and the disk's queue attributes in sysfs.
#include "common/os/storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace qm::os {
namespace {

// The device a file's data lives on: the disk itself for a block device,
// else the device of the file system holding the file.
bool DeviceOf(FileHandle handle, dev_t& device) {
    struct stat st;
    if (::fstat(handle, &st) != 0) return false;
    device = S_ISBLK(st.st_mode) ? st.st_rdev : st.st_dev;
    return true;
}

bool ReadSmallFile(const std::string& path, char& first) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, &first, 1);
    ::close(fd);
    return n == 1;
}

}  // namespace

bool GetStorageId(FileHandle handle, uint64_t& id) {
    dev_t device = 0;
    if (!DeviceOf(handle, device)) return false;
    id = static_cast<uint64_t>(device);
    return true;
}

SeekPenalty QuerySeekPenalty(FileHandle handle) {
    dev_t device = 0;
    if (!DeviceOf(handle, device)) return SeekPenalty::Unknown;
    // A file system without a block device of its own (tmpfs, NFS, the
    // anonymous devices of btrfs subvolumes) has no entry: unknown.
    char base[64];
    std::snprintf(base, sizeof base, "/sys/dev/block/%u:%u", ::major(device), ::minor(device));
    const std::string dir = base;
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) return SeekPenalty::Unknown;
    // A partition has no queue of its own; its disk is the directory above.
    const bool partition = ::access((dir + "/partition").c_str(), F_OK) == 0;
    char flag = 0;
    if (!ReadSmallFile(dir + (partition ? "/../queue/rotational" : "/queue/rotational"), flag)) {
        return SeekPenalty::Unknown;
    }
    if (flag == '1') return SeekPenalty::Incurred;
    if (flag == '0') return SeekPenalty::None;
    return SeekPenalty::Unknown;
}

}  // namespace qm::os
