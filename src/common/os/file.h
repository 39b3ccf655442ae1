// Files and disks as the operating system gives them: the native handle and
// its owner, opening for sequential reading, the attributes of an open file
// or of a path, reading and seeking, the size queries of a disk, and the few
// paths the system itself knows (the current directory, the program's file).
//
// Failures return false (or an invalid handle, or -1) and leave the reason in
// the thread's last error code (LastErrorCode in error_codes.h), so the
// caller records its own text with SetLastErrorText(0, ...). Nothing here
// records a text itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace qm::os {

#if defined(_WIN32)
// A HANDLE; INVALID_HANDLE_VALUE is "no file".
using FileHandle = void*;
inline FileHandle const kInvalidFileHandle = reinterpret_cast<FileHandle>(~uintptr_t{0});
#else
// A file descriptor; -1 is "no file".
using FileHandle = int;
inline constexpr FileHandle kInvalidFileHandle = -1;
#endif

// Closes a handle. False when the system reports a failure of the close
// itself (a write-back error).
bool CloseFileHandle(FileHandle handle);

// RAII owner of one FileHandle.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(FileHandle handle) : handle_(handle) {}
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    UniqueFile(UniqueFile&& other) noexcept : handle_(std::exchange(other.handle_, kInvalidFileHandle)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, kInvalidFileHandle));
        return *this;
    }
    ~UniqueFile() { reset(); }

    FileHandle get() const { return handle_; }
    bool valid() const { return handle_ != kInvalidFileHandle; }
    explicit operator bool() const { return valid(); }
    FileHandle release() { return std::exchange(handle_, kInvalidFileHandle); }
    void reset(FileHandle handle = kInvalidFileHandle) {
        if (valid()) CloseFileHandle(handle_);
        handle_ = handle;
    }
    // Closes now and reports the close's own failure.
    bool close() {
        const FileHandle handle = std::exchange(handle_, kInvalidFileHandle);
        return handle == kInvalidFileHandle || CloseFileHandle(handle);
    }

private:
    FileHandle handle_ = kInvalidFileHandle;
};

enum class FileKind {
    Regular,
    Directory,
    Disk,   // a block device, or a disk or volume opened by its device path
    Other,  // character devices, pipes, sockets: nothing with fixed content
};

// Which file an attribute set belongs to: the same directory reached by two
// paths (a link, a junction) has the same identity.
struct FileIdentity {
    uint64_t volume = 0;  // device number, or volume serial number
    uint64_t index = 0;   // inode, or file index
    bool operator==(const FileIdentity&) const = default;
};

struct FileAttributes {
    FileKind kind = FileKind::Other;
    // The length of a regular file; what the file system reports for a
    // directory; 0 for the other kinds, whose size is asked separately.
    uint64_t size = 0;
    // FILETIME: 100-ns units since 1601-01-01 UTC.
    uint64_t lastWriteTime = 0;
    FileIdentity identity;
};

// Opens `path` for sequential reading. A named pipe without a writer does
// not block the open. A directory may open (posix) or fail with
// kErrorIsDirectory (win32): callers check the kind of what opened.
UniqueFile OpenForReading(std::u16string_view path);

// The attributes of an open file.
bool GetHandleAttributes(FileHandle handle, FileAttributes& attributes);
// The attributes of a path, symbolic links followed.
bool GetPathAttributes(std::u16string_view path, FileAttributes& attributes);

// Reads up to `size` bytes at the current position: the count read (fewer
// than asked is no sign of the end), 0 at the end, -1 on failure.
// Interrupted reads are retried.
int64_t ReadFileData(FileHandle handle, void* data, size_t size);

// ReadFileDataCached's answer when the bytes are not in memory.
inline constexpr int64_t kNotInMemory = -2;

// As ReadFileData, but only from what the system already holds in memory:
// kNotInMemory when the read would have to wait for the device (or the
// system cannot read that way: Windows, old kernels), so that the caller
// can first take its turn at a device that must not be read in two places.
int64_t ReadFileDataCached(FileHandle handle, void* data, size_t size);

enum class SeekOrigin { Begin, Current, End };
// Moves the file position; `position`, when given, receives the new one.
bool SeekFile(FileHandle handle, int64_t offset, SeekOrigin origin, uint64_t* position = nullptr);

// Tells the system the file will be read once from start to end, so it reads
// ahead. Only a hint: nothing to report when it is not taken.
void AdviseSequentialRead(FileHandle handle);

// True when `path` names a disk rather than a file: on posix a block device
// under /dev/, on win32 a device path (beginning with \\.\). Such inputs are
// called "磁盘" in messages.
bool IsDevicePath(std::u16string_view path);

// The length of a disk, asked of the device (BLKGETSIZE64, or
// IOCTL_DISK_GET_LENGTH_INFO).
bool QueryDiskLength(FileHandle handle, uint64_t& length);
// The second way to the length for a device that refuses the first: its end
// offset on posix (the position is kept), the drive geometry on win32.
bool QueryDiskLengthFallback(FileHandle handle, uint64_t& length);

// The absolute current directory, or an empty text when the system cannot
// give a usable one (it was removed, or is out of reach).
std::u16string GetCurrentDirectoryPath();

// The absolute path of the running program, or an empty text when the
// system does not tell.
std::u16string GetProgramPath();

}  // namespace qm::os
