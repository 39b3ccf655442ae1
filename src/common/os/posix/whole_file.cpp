#include "common/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>
#include <stdexcept>
#include <string>

#include "common/error_record.h"
#include "common/os/file.h"
#include "common/os/whole_file_block.h"
#include "common/utf.h"

// The posix side of whole-file input and output: open / read / fstat, and a
// write through a temporary file renamed over the target.
namespace qm {

using os::UniqueFile;

namespace {

// One read or write call moves at most this much; the kernel caps a single
// transfer near 2 GiB anyway.
constexpr size_t kMaxTransfer = size_t{1} << 30;

// Writes all of `size` bytes, continuing after short writes and EINTR.
// Returns false with errno set.
bool WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, std::min(size, kMaxTransfer));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {  // no progress and no error: do not spin
            errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteBlocks(int fd, const void* data1, size_t size1, const void* data2, size_t size2) {
    if (data1 && size1 > 0 && !WriteAll(fd, data1, size1)) return false;
    if (data2 && size2 > 0 && !WriteAll(fd, data2, size2)) return false;
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Follows a chain of symbolic links to the name that is finally written.
// A name that does not exist (yet) ends the chain: it is created there.
bool ResolveLinks(std::string path, std::string& resolved) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = std::move(path);
            return true;
        }
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n;
        while ((n = ::readlink(path.c_str(), target.data(), target.size())) == static_cast<ssize_t>(target.size()))
            target.resize(target.size() * 2);
        if (n < 0) {
            resolved = std::move(path);  // vanished meanwhile: let the open report it
            return true;
        }
        target.resize(static_cast<size_t>(n));
        if (target.empty() || target.front() != '/') target = DirectoryOf(path) + "/" + target;
        path = std::move(target);
    }
    errno = ELOOP;
    return false;
}

// A name for the temporary file: hidden, beside the target, unlikely to
// collide (O_EXCL guards the rest).
std::string TemporaryName(const std::string& target) {
    static std::atomic<uint64_t> counter{0};
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30) ^
                 (static_cast<uint64_t>(::getpid()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;

    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    // Keep room for the prefix and suffix within the 255-byte name limit.
    const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1, 200);
    static const char kHex[] = "0123456789abcdef";
    std::string name = dir + "." + base + ".tmp-";
    for (int i = 0; i < 12; ++i) name += kHex[(x >> (i * 4)) & 0xF];
    return name;
}

// Makes sure the first `size` bytes of the file have disk space, without
// changing a byte below `oldSize`. Returns 0 or the errno value. Where the
// file system cannot reserve space, the part beyond the old end is written
// as zeros instead: the blocks below it exist already.
int Reserve(int fd, off_t oldSize, off_t size) {
    if (::fallocate(fd, 0, 0, size) == 0) return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    static const char kZeros[65536] = {};
    for (off_t at = oldSize; at < size;) {
        const ssize_t n = ::pwrite(fd, kZeros, static_cast<size_t>(std::min<off_t>(size - at, sizeof kZeros)), at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        at += n;
    }
    return 0;
}

// Writes into an existing file that cannot be replaced by rename: a device,
// a pipe, or a file in a directory that refuses new entries.
//
// A regular file is not truncated on opening: the whole new size is reserved
// first, so a full disk fails before a byte of the old content is lost. Only
// then is it cut to the new size (the reserved blocks below it stay) and
// overwritten.
bool WriteInPlace(const std::string& osPath, std::u16string_view path, bool regular, const void* data1, size_t size1,
                  const void* data2, size_t size2) {
    int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY;
    // A pipe without a reader fails at once (ENXIO) instead of blocking.
    if (!regular) flags |= O_NONBLOCK;
    UniqueFile fd(::open(osPath.c_str(), flags));
    if (!fd) {
        SetLastErrorText(0, u"创建文件 %s 失败", path);
        return false;
    }
    if (!regular) {
        const int fl = ::fcntl(fd.get(), F_GETFL);
        if (fl >= 0) ::fcntl(fd.get(), F_SETFL, fl & ~O_NONBLOCK);
    } else {
        const size_t size = (data1 ? size1 : 0) + (data2 ? size2 : 0);
        struct stat before;
        if (::fstat(fd.get(), &before) != 0) {
            SetLastErrorText(0, u"写入文件 %s 失败", path);
            return false;
        }
        if (size > 0) {
            const int code = Reserve(fd.get(), before.st_size, static_cast<off_t>(size));
            if (code != 0) {
                // Some file systems extend the file by what they could
                // reserve before failing: give the old length back.
                struct stat after;
                if (::fstat(fd.get(), &after) == 0 && after.st_size != before.st_size) {
                    [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), before.st_size);
                }
                SetLastErrorText(static_cast<uint32_t>(code), u"写入文件 %s 失败", path);
                return false;
            }
        }
        if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
            SetLastErrorText(0, u"写入文件 %s 失败", path);
            return false;
        }
    }
    bool ok = WriteBlocks(fd.get(), data1, size1, data2, size2);
    if (ok && regular && ::fsync(fd.get()) != 0) ok = false;
    if (ok && !fd.close()) ok = false;
    if (!ok) SetLastErrorText(0, u"写入文件 %s 失败", path);
    return ok;
}

}  // namespace

bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& buffer, size_t& bytesRead, uint64_t sizeLimit) {
    std::vector<uint8_t>().swap(buffer);
    bytesRead = 0;

    // O_NONBLOCK only so that opening a FIFO cannot hang; reads block again.
    UniqueFile fd(::open(PathToOs(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        SetLastErrorText(0, u"打开文件 %s 失败", path);
        return false;
    }
    const int fl = ::fcntl(fd.get(), F_GETFL);
    if (fl >= 0) ::fcntl(fd.get(), F_SETFL, fl & ~O_NONBLOCK);

    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        SetLastErrorText(0, u"获取文件 %s 大小失败", path);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        // Opening a directory read-only succeeds on Linux; reading it is what
        // fails, whatever size the file system reports for it.
        SetLastErrorText(EISDIR, u"读取文件 %s 失败", path);
        return false;
    }
    const uint64_t size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    std::vector<uint8_t> data;
    if (!os::AllocateWholeFileBlock(path, size, sizeLimit, data)) return false;

    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + done, std::min(data.size() - done, kMaxTransfer));
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastErrorText(0, u"读取文件 %s 失败", path);
            return false;
        }
        if (n == 0) break;  // the file shrank since fstat
        done += static_cast<size_t>(n);
    }
    data.resize(done);
    buffer = std::move(data);
    bytesRead = done;
    return true;
}

bool WriteWholeFile(std::u16string_view path, const void* data1, size_t size1, const void* data2, size_t size2) {
    std::string target;
    if (!ResolveLinks(PathToOs(path), target)) {
        SetLastErrorText(0, u"创建文件 %s 失败", path);
        return false;
    }

    struct stat old;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return WriteInPlace(target, path, false, data1, size1, data2, size2);
    // Replacing goes by the directory's permission; a file the user may not
    // write to stays protected as it would be against an in-place write.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        SetLastErrorText(0, u"创建文件 %s 失败", path);
        return false;
    }

    std::string temporary;
    UniqueFile fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temporary = TemporaryName(target);
        fd.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
        if (!fd && errno != EEXIST) break;
    }
    if (!fd) {
        // A directory that refuses new entries may still hold a writable
        // file: write that one in place rather than not at all.
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(target, path, true, data1, size1, data2, size2);
        SetLastErrorText(0, u"创建文件 %s 失败", path);
        return false;
    }

    if (exists) {
        // Keep the replaced file's owner (best effort) and permission bits;
        // chown first, since it clears set-id bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
        }
        ::fchmod(fd.get(), old.st_mode & 07777);
    }

    bool ok = WriteBlocks(fd.get(), data1, size1, data2, size2) && ::fsync(fd.get()) == 0 && fd.close() &&
              ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int code = errno;
        fd.reset();
        ::unlink(temporary.c_str());
        SetLastErrorText(static_cast<uint32_t>(code), u"写入文件 %s 失败", path);
        return false;
    }

    // Make the rename itself durable; the data is already safe either way.
    UniqueFile dir(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.get());
    return true;
}

}  // namespace qm
