// The storage device under a file on Windows: the volume serial number, and
// the seek-penalty property of the volume's device.
#include "common/os/storage.h"

#include <windows.h>
#include <winioctl.h>

#include <string>

namespace qm::os {
namespace {

// Asks an open volume or disk whether it incurs a seek penalty.
SeekPenalty AskSeekPenalty(HANDLE device) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR answer{};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer, sizeof answer,
                         &returned, nullptr) ||
        returned < sizeof answer) {
        return SeekPenalty::Unknown;
    }
    return answer.IncursSeekPenalty ? SeekPenalty::Incurred : SeekPenalty::None;
}

}  // namespace

bool GetStorageId(FileHandle handle, uint64_t& id) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info)) {
        id = info.dwVolumeSerialNumber;
        return true;
    }
    // A disk or volume opened by its device path has no file information.
    return false;
}

SeekPenalty QuerySeekPenalty(FileHandle handle) {
    // A handle of a disk or volume answers for itself.
    const SeekPenalty own = AskSeekPenalty(handle);
    if (own != SeekPenalty::Unknown) return own;
    // A file: ask its volume, opened by the volume's GUID path without
    // access rights (the property query needs none).
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_GUID);
    if (n >= path.size()) {
        path.resize(n + 1);
        n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_GUID);
    }
    if (n == 0 || n >= path.size()) return SeekPenalty::Unknown;
    path.resize(n);
    // "\\?\Volume{GUID}\dir\file" -> "\\?\Volume{GUID}"
    const size_t end = path.find(L'\\', 4);
    if (path.rfind(L"\\\\?\\Volume{", 0) != 0 || end == std::wstring::npos) return SeekPenalty::Unknown;
    path.resize(end);
    HANDLE volume = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return SeekPenalty::Unknown;
    const SeekPenalty answer = AskSeekPenalty(volume);
    CloseHandle(volume);
    return answer;
}

}  // namespace qm::os
