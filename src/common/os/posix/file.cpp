// Files and disks on posix: descriptors, stat, and the block-device ioctl.
#include "common/os/file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/formatting.h"
#include "common/utf.h"

namespace qm::os {
namespace {

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Directory;
    if (S_ISBLK(mode)) return FileKind::Disk;
    return FileKind::Other;
}

void FromStat(const struct stat& st, FileAttributes& attributes) {
    attributes.kind = KindOf(st.st_mode);
    attributes.size = attributes.kind == FileKind::Regular || attributes.kind == FileKind::Directory
                          ? static_cast<uint64_t>(st.st_size > 0 ? st.st_size : 0)
                          : 0;
    attributes.lastWriteTime = FileTimeFromTimespec(st.st_mtim);
    attributes.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

}  // namespace

bool CloseFileHandle(FileHandle handle) { return ::close(handle) == 0; }

UniqueFile OpenForReading(std::u16string_view path) {
    // O_NONBLOCK keeps a named pipe without a writer from blocking the
    // opener for good; on regular files and disks it changes nothing, so it
    // stays set.
    const std::string osPath = PathToOs(path);
    int fd;
    do {
        fd = ::open(osPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return UniqueFile(fd);
}

bool GetHandleAttributes(FileHandle handle, FileAttributes& attributes) {
    struct stat st;
    if (::fstat(handle, &st) != 0) return false;
    FromStat(st, attributes);
    return true;
}

bool GetPathAttributes(std::u16string_view path, FileAttributes& attributes) {
    struct stat st;
    if (::stat(PathToOs(path).c_str(), &st) != 0) return false;
    FromStat(st, attributes);
    return true;
}

int64_t ReadFileData(FileHandle handle, void* data, size_t size) {
    for (;;) {
        const ssize_t n = ::read(handle, data, size);
        if (n >= 0) return static_cast<int64_t>(n);
        if (errno != EINTR) return -1;
    }
}

int64_t ReadFileDataCached(FileHandle handle, void* data, size_t size) {
    iovec vector{data, size};
    for (;;) {
        // Offset -1: at the file position, which moves as with read.
        const ssize_t n = ::preadv2(handle, &vector, 1, -1, RWF_NOWAIT);
        if (n >= 0) return static_cast<int64_t>(n);
        if (errno == EINTR) continue;
        // EAGAIN: not in memory; EOPNOTSUPP: no such reads here.
        if (errno == EAGAIN || errno == EOPNOTSUPP || errno == EINVAL) return kNotInMemory;
        return -1;
    }
}

bool SeekFile(FileHandle handle, int64_t offset, SeekOrigin origin, uint64_t* position) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t at = ::lseek(handle, static_cast<off_t>(offset), whence);
    if (at < 0) return false;
    if (position) *position = static_cast<uint64_t>(at);
    return true;
}

void AdviseSequentialRead(FileHandle handle) { ::posix_fadvise(handle, 0, 0, POSIX_FADV_SEQUENTIAL); }

bool IsDevicePath(std::u16string_view path) {
    if (!path.starts_with(u"/dev/")) return false;
    struct stat st;
    return ::stat(PathToOs(path).c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

bool QueryDiskLength(FileHandle handle, uint64_t& length) {
    uint64_t size = 0;
    if (::ioctl(handle, BLKGETSIZE64, &size) != 0) return false;
    length = size;
    return true;
}

bool QueryDiskLengthFallback(FileHandle handle, uint64_t& length) {
    // The end offset is the size; the reader starts from the current
    // position, so it is put back where it was.
    const off_t current = ::lseek(handle, 0, SEEK_CUR);
    if (current < 0) return false;
    const off_t end = ::lseek(handle, 0, SEEK_END);
    if (end < 0 || ::lseek(handle, current, SEEK_SET) < 0) return false;
    length = static_cast<uint64_t>(end);
    return true;
}

std::u16string GetCurrentDirectoryPath() {
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    // Linux reports an unreachable directory as "(unreachable)/...": not a
    // path to build on.
    if (buffer.empty() || buffer[0] != '/') return {};
    return PathFromOs(buffer);
}

std::u16string GetProgramPath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return PathFromOs(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qm::os
