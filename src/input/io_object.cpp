// Opening a byte range of a file or block device for sequential reading.
#include "input/io_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/error_record.h"
#include "common/utf.h"
#include "input/disk_mgr.h"

namespace qm {
namespace {

constexpr std::u16string_view kDeviceWord = u"磁盘";
constexpr std::u16string_view kFileWord = u"文件";
constexpr uint64_t kSequentialAdviceMinimum = 0x100000;

}  // namespace

bool IsDevicePath(std::u16string_view path) {
    if (!path.starts_with(u"/dev/")) return false;
    struct stat st;
    return ::stat(PathToOs(path).c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

uint64_t GetHandleSize(int fd, bool isDevice, const struct stat& st) {
    // A block device reports no size in its attributes, whatever path it
    // was reached by.
    if (isDevice || S_ISBLK(st.st_mode)) {
        CQmPhysicalDiskMgr disk;
        disk.Attach(fd, u"");
        const uint64_t size = disk.GetDiskSize();
        disk.Detach();
        return size;
    }
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return static_cast<uint64_t>(st.st_size);
    // Pipes and sockets have no size (ESPIPE); character devices have the
    // size their end offset says.
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0 || ::lseek(fd, 0, SEEK_SET) < 0) {
        SetLastErrorText(static_cast<uint32_t>(errno), u"获取文件大小失败");
        return kInvalidSize;
    }
    return static_cast<uint64_t>(end);
}

int CQmIoObject::Open() { return OpenRange(GetLength()); }

int CQmIoObject::OpenRange(uint64_t length, struct stat* attributes) {
    if (fd_.valid()) return fd_.get();

    const bool isDevice = IsDevicePath(path_);
    const std::u16string_view word = isDevice ? kDeviceWord : kFileWord;
    const uint64_t start = GetOffset();

    // O_NONBLOCK keeps a named pipe without a writer from blocking the
    // reader for good; only regular files and disks are read, and on them it
    // changes nothing, so it stays set.
    const std::string osPath = PathToOs(path_);
    int rawFd;
    do {
        rawFd = ::open(osPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (rawFd < 0 && errno == EINTR);
    UniqueFd fd(rawFd);
    bool ok = fd.valid();
    if (!ok) {
        SetLastErrorText(static_cast<uint32_t>(errno), u"打开%s失败", word);
    } else {
        struct stat st{};
        uint64_t size = kInvalidSize;
        if (::fstat(fd.get(), &st) != 0) {
            SetLastErrorText(static_cast<uint32_t>(errno), u"获取文件大小失败");
        } else if (S_ISDIR(st.st_mode)) {
            // Whatever size the file system gives a directory (some give 0),
            // it has no bytes of its own to hash.
            SetLastErrorText(EISDIR, u"打开%s失败", word);
        } else if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
            // A character device, pipe or socket has no fixed content: one
            // never ends (/dev/zero), others give different bytes each time
            // or report no size, so no digest of one could be checked again.
            SetErrorText(ENODEV, u"打开%s失败:不支持的文件类型。", word);
        } else {
            size = GetHandleSize(fd.get(), isDevice, st);
            // A file that one read takes whole gains nothing from read-ahead advice.
            if (size != kInvalidSize && size > kSequentialAdviceMinimum)
                ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
            if (attributes) *attributes = st;
        }
        // Files of /proc and some of /sys report a size of 0 but have
        // content: a whole regular file of size 0 is read to its end.
        readsToEnd_ = size == 0 && start == 0 && length == 0 && S_ISREG(st.st_mode);
        if (size == kInvalidSize) {
            ok = false;
        } else if (start > size || (length != 0 && length > size - start)) {
            SetErrorText(0, u"读取范围超出%s大小。", word);
            ok = false;
        } else {
            if (length == 0) length = size - start;
            if (start != 0 && ::lseek(fd.get(), static_cast<off_t>(start), SEEK_SET) < 0) {
                SetLastErrorText(static_cast<uint32_t>(errno), u"设置读取偏移失败");
                ok = false;
            }
        }
    }

    if (!ok) {
        fd.reset();
        SetError(GetLastErrorText());
        SetProcessed(true);
        return kInvalidHandle;
    }
    SetLengthValue(length);
    fd_ = std::move(fd);
    return fd_.get();
}

void CQmIoObject::Reset() {
    fd_.reset();
    readsToEnd_ = false;
    path_.clear();
    digest_.fill(0);
    processed_.store(false, std::memory_order_release);
    offset_.store(0, std::memory_order_release);
    length_.store(0, std::memory_order_release);
}

bool CQmIoObject::StoreDigest(std::array<uint8_t, kMaxDigestSize>& target, const uint8_t* bytes, size_t size) {
    if (size > kMaxDigestSize) {
        SetErrorText(0, u"设置哈希值失败:缓冲区长度不足。");
        return false;
    }
    if (bytes) {
        std::memcpy(target.data(), bytes, size);
    } else {
        std::memset(target.data(), 0, size);
    }
    SetUpdated(true);
    return true;
}

bool CQmIoObject::SetHash(const uint8_t* bytes, size_t size, int32_t /*classId*/) {
    if (!StoreDigest(digest_, bytes, size)) return false;
    SetHasHash(bytes != nullptr);
    return true;
}

const uint8_t* CQmIoObject::GetHash() const { return digest_.data(); }

void CQmIoObject::CloseFile() { fd_.reset(); }

void CQmIoObject::SetError(std::u16string_view text) {
    error_.assign(text);
    SetUpdated(true);
}

void CQmIoObject::SetRange(std::optional<std::u16string_view> path, uint64_t start, uint64_t length) {
    if (path) path_.assign(*path);
    if (start != kKeepRangeValue) offset_.store(start, std::memory_order_release);
    if (length != kKeepRangeValue) length_.store(length, std::memory_order_release);
}

void CQmIoObject::SetProcessed(bool flag) {
    reading_.store(false, std::memory_order_release);
    processed_.store(flag, std::memory_order_release);
}

}  // namespace qm
