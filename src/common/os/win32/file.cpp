// Files and disks on Windows: handles from CreateFileW, their information,
// and the disk length queries.
#include "common/os/file.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <vector>

#include "common/os/error_codes.h"
#include "common/os/win32/wide_path.h"

namespace qm::os {
namespace {

uint64_t Join(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

uint64_t FileTimeValue(const FILETIME& time) { return Join(time.dwHighDateTime, time.dwLowDateTime); }

bool AskDiskLength(HANDLE handle, uint64_t& length) {
    GET_LENGTH_INFORMATION info{};
    DWORD returned = 0;
    if (!DeviceIoControl(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info, &returned, nullptr))
        return false;
    length = static_cast<uint64_t>(info.Length.QuadPart);
    return true;
}

void FromInformation(const BY_HANDLE_FILE_INFORMATION& info, FileAttributes& attributes) {
    const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    attributes.kind = directory ? FileKind::Directory : FileKind::Regular;
    attributes.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    attributes.lastWriteTime = FileTimeValue(info.ftLastWriteTime);
    attributes.identity = {info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow)};
}

}  // namespace

bool CloseFileHandle(FileHandle handle) { return CloseHandle(handle) != 0; }

UniqueFile OpenForReading(std::u16string_view path) {
    const std::wstring wide = ToWidePath(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // A directory cannot be opened as a file; the system says "access
        // denied" then, which would send the user after permissions.
        const DWORD code = GetLastError();
        if (code == ERROR_ACCESS_DENIED) {
            const DWORD kind = GetFileAttributesW(wide.c_str());
            SetLastError(kind != INVALID_FILE_ATTRIBUTES && (kind & FILE_ATTRIBUTE_DIRECTORY) ? kErrorIsDirectory
                                                                                               : code);
        }
        return UniqueFile();
    }
    return UniqueFile(handle);
}

bool GetHandleAttributes(FileHandle handle, FileAttributes& attributes) {
    SetLastError(NO_ERROR);
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return false;
    if (type != FILE_TYPE_DISK) {
        // Consoles, printers, pipes: nothing with fixed content.
        attributes = FileAttributes{};
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info)) {
        FromInformation(info, attributes);
        return true;
    }
    // A disk or volume opened by its device path has no file information;
    // it answers the length query instead.
    const DWORD code = GetLastError();
    uint64_t length = 0;
    if (!AskDiskLength(handle, length)) {
        SetLastError(code);
        return false;
    }
    attributes = FileAttributes{};
    attributes.kind = FileKind::Disk;
    return true;
}

bool GetPathAttributes(std::u16string_view path, FileAttributes& attributes) {
    // Opened without access rights, only to read the attributes: that works
    // on files open elsewhere without sharing, and on directories (backup
    // semantics). Links and junctions are followed to what they name.
    const std::wstring wide = ToWidePath(path);
    HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // A file held open without any sharing (a paging file) refuses even
        // that; the directory entry still tells kind, size and time.
        if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return false;
        attributes = FileAttributes{};
        attributes.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::Regular;
        attributes.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
        attributes.lastWriteTime = FileTimeValue(data.ftLastWriteTime);
        return true;
    }
    UniqueFile owner(handle);
    return GetHandleAttributes(handle, attributes);
}

int64_t ReadFileData(FileHandle handle, void* data, size_t size) {
    // ReadFile takes a 32-bit count; a short read is allowed to the caller.
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, size_t{1} << 30));
    DWORD got = 0;
    if (!ReadFile(handle, data, want, &got, nullptr)) {
        // The writer of a pipe closing is the end of its data, not a failure.
        if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
        return -1;
    }
    return static_cast<int64_t>(got);
}

int64_t ReadFileDataCached(FileHandle, void*, size_t) {
    // No read here is refused for want of the bytes in memory.
    return kNotInMemory;
}

bool SeekFile(FileHandle handle, int64_t offset, SeekOrigin origin, uint64_t* position) {
    const DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER at{};
    if (!SetFilePointerEx(handle, distance, &at, method)) return false;
    if (position) *position = static_cast<uint64_t>(at.QuadPart);
    return true;
}

// FILE_FLAG_SEQUENTIAL_SCAN, given at the open, is the advice on Windows.
void AdviseSequentialRead(FileHandle) {}

bool IsDevicePath(std::u16string_view path) { return path.starts_with(u"\\\\.\\"); }

bool QueryDiskLength(FileHandle handle, uint64_t& length) { return AskDiskLength(handle, length); }

bool QueryDiskLengthFallback(FileHandle handle, uint64_t& length) {
    // DISK_GEOMETRY_EX is the 24-byte geometry followed by DiskSize; the
    // buffer leaves room for the partition and detection data after it.
    alignas(8) unsigned char buffer[256] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, buffer, sizeof buffer, &returned,
                         nullptr))
        return false;
    const auto* geometry = reinterpret_cast<const DISK_GEOMETRY_EX*>(buffer);
    static_assert(offsetof(DISK_GEOMETRY_EX, DiskSize) == 24, "DiskSize follows the 24-byte geometry");
    length = static_cast<uint64_t>(geometry->DiskSize.QuadPart);
    return true;
}

std::u16string GetCurrentDirectoryPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0) return {};
        if (n < buffer.size()) return FromWide(std::wstring_view(buffer.data(), n));
        buffer.resize(n);
    }
}

std::u16string GetProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        // A full buffer means the name was cut short.
        if (n < buffer.size()) return FromWide(std::wstring_view(buffer.data(), n));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace qm::os
