// Opening a byte range of a file or block device for sequential reading.
#include "input/io_object.h"

#include <cstring>
#include <string>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "input/disk_mgr.h"

namespace qm {
namespace {

constexpr std::u16string_view kDeviceWord = u"磁盘";
constexpr std::u16string_view kFileWord = u"文件";
constexpr uint64_t kSequentialAdviceMinimum = 0x100000;

}  // namespace

uint64_t GetHandleSize(QmFileHandle handle, bool isDevice, const os::FileAttributes& attributes) {
    // A disk reports no size in its attributes, whatever path it was reached
    // by.
    if (isDevice || attributes.kind == os::FileKind::Disk) {
        CQmPhysicalDiskMgr disk;
        disk.Attach(handle, u"");
        const uint64_t size = disk.GetDiskSize();
        disk.Detach();
        return size;
    }
    if (attributes.kind == os::FileKind::Regular || attributes.kind == os::FileKind::Directory) return attributes.size;
    // Pipes and sockets have no size (they refuse the seek); character
    // devices have the size their end offset says.
    uint64_t end = 0;
    if (!os::SeekFile(handle, 0, os::SeekOrigin::End, &end) || !os::SeekFile(handle, 0, os::SeekOrigin::Begin)) {
        SetLastErrorText(0, u"获取文件大小失败");
        return kInvalidSize;
    }
    return end;
}

QmFileHandle CQmIoObject::Open() { return OpenRange(GetLength()); }

QmFileHandle CQmIoObject::OpenRange(uint64_t length, os::FileAttributes* attributes) {
    if (fd_.valid()) return fd_.get();

    const bool isDevice = IsDevicePath(path_);
    const std::u16string_view word = isDevice ? kDeviceWord : kFileWord;
    const uint64_t start = GetOffset();

    os::UniqueFile fd = os::OpenForReading(path_);
    bool ok = fd.valid();
    if (!ok) {
        SetLastErrorText(0, u"打开%s失败", word);
    } else {
        os::FileAttributes st;
        uint64_t size = kInvalidSize;
        if (!os::GetHandleAttributes(fd.get(), st)) {
            SetLastErrorText(0, u"获取文件大小失败");
        } else if (st.kind == os::FileKind::Directory) {
            // Whatever size the file system gives a directory (some give 0),
            // it has no bytes of its own to hash.
            SetLastErrorText(os::kErrorIsDirectory, u"打开%s失败", word);
        } else if (st.kind != os::FileKind::Regular && st.kind != os::FileKind::Disk && !isDevice) {
            // A character device, pipe or socket has no fixed content: one
            // never ends (/dev/zero), others give different bytes each time
            // or report no size, so no digest of one could be checked again.
            SetErrorText(os::kErrorUnsupportedFileKind, u"打开%s失败:不支持的文件类型。", word);
        } else {
            size = GetHandleSize(fd.get(), isDevice, st);
            // A file that one read takes whole gains nothing from read-ahead advice.
            if (size != kInvalidSize && size > kSequentialAdviceMinimum) os::AdviseSequentialRead(fd.get());
            if (attributes) *attributes = st;
        }
        // Files of /proc and some of /sys report a size of 0 but have
        // content: a whole regular file of size 0 is read to its end.
        readsToEnd_ = size == 0 && start == 0 && length == 0 && st.kind == os::FileKind::Regular && !isDevice;
        if (size == kInvalidSize) {
            ok = false;
        } else if (start > size || (length != 0 && length > size - start)) {
            SetErrorText(0, u"读取范围超出%s大小。", word);
            ok = false;
        } else {
            if (length == 0) length = size - start;
            if (start != 0 && !os::SeekFile(fd.get(), static_cast<int64_t>(start), os::SeekOrigin::Begin)) {
                SetLastErrorText(0, u"设置读取偏移失败");
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
