// The Windows side of whole-file input and output: CreateFileW / ReadFile,
// and a write through a temporary file moved over the target.
#include "common/whole_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <stdexcept>
#include <string>

#include "common/error_record.h"
#include "common/os/error_codes.h"
#include "common/os/file.h"
#include "common/os/whole_file_block.h"
#include "common/os/win32/wide_path.h"

namespace qm {

using os::UniqueFile;

namespace {

// One ReadFile or WriteFile call moves at most this much (its count is 32
// bits).
constexpr size_t kMaxTransfer = size_t{1} << 30;

bool WriteAll(HANDLE handle, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, p, static_cast<DWORD>(std::min(size, kMaxTransfer)), &written, nullptr)) return false;
        if (written == 0) {  // no progress and no error: do not spin
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

bool WriteBlocks(HANDLE handle, const void* data1, size_t size1, const void* data2, size_t size2) {
    if (data1 && size1 > 0 && !WriteAll(handle, data1, size1)) return false;
    if (data2 && size2 > 0 && !WriteAll(handle, data2, size2)) return false;
    return true;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The name a link or junction finally leads to, so that the file it names
// is replaced and the link survives; the name itself for anything else, or
// when the chain cannot be followed (the create that follows then reports
// why).
std::wstring ResolveLinks(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path;
    UniqueFile owner(handle);
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
        if (n == 0) return path;
        if (n < final.size()) {
            final.resize(n);
            return final;
        }
        final.resize(n);
    }
}

// A name for the temporary file: beside the target (a move within one
// volume), unlikely to collide (CREATE_NEW guards the rest).
std::wstring TemporaryName(const std::wstring& target) {
    static std::atomic<uint64_t> counter{0};
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    uint64_t x = ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) ^
                 (static_cast<uint64_t>(GetCurrentProcessId()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;

    size_t slash = target.size();
    while (slash > 0 && !IsSeparator(target[slash - 1])) --slash;
    // Keep room for the prefix and suffix within the 255-character name limit.
    const std::wstring base = target.substr(slash, 200);
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name = target.substr(0, slash) + L"." + base + L".tmp-";
    for (int i = 0; i < 12; ++i) name += kHex[(x >> (i * 4)) & 0xF];
    return name;
}

// Writes into an existing file that cannot be replaced by a move: a device,
// or a file in a directory that refuses new entries. A regular file first
// gets the whole new size, so a full disk fails before a byte of the old
// content is lost; only then is it cut to the new size and overwritten.
bool WriteInPlace(const std::wstring& target, std::u16string_view path, bool regular, const void* data1, size_t size1,
                  const void* data2, size_t size2) {
    HANDLE handle = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetLastErrorText(0, u"创建文件 %s 失败", path);
        return false;
    }
    UniqueFile file(handle);
    if (regular) {
        LARGE_INTEGER before{};
        if (!GetFileSizeEx(handle, &before)) {
            SetLastErrorText(0, u"写入文件 %s 失败", path);
            return false;
        }
        LARGE_INTEGER size;
        size.QuadPart = static_cast<LONGLONG>((data1 ? size1 : 0) + (data2 ? size2 : 0));
        const LARGE_INTEGER zero{};
        if (size.QuadPart > before.QuadPart) {
            if (!SetFilePointerEx(handle, size, nullptr, FILE_BEGIN) || !SetEndOfFile(handle)) {
                const DWORD code = GetLastError();
                // Give the old length back if the extension got part way.
                if (SetFilePointerEx(handle, before, nullptr, FILE_BEGIN)) SetEndOfFile(handle);
                SetLastErrorText(code, u"写入文件 %s 失败", path);
                return false;
            }
        }
        if (!SetFilePointerEx(handle, size, nullptr, FILE_BEGIN) || !SetEndOfFile(handle) ||
            !SetFilePointerEx(handle, zero, nullptr, FILE_BEGIN)) {
            SetLastErrorText(0, u"写入文件 %s 失败", path);
            return false;
        }
    }
    bool ok = WriteBlocks(handle, data1, size1, data2, size2);
    if (ok && regular && !FlushFileBuffers(handle)) ok = false;
    if (ok && !file.close()) ok = false;
    if (!ok) SetLastErrorText(0, u"写入文件 %s 失败", path);
    return ok;
}

// The device a reserved name (NUL, CON, PRN, AUX, COM1-9, LPT1-9) stands for
// in any folder, in its "\\.\NAME" form; empty for every other path. Such a
// target has no folder to put a temporary file in.
std::wstring ReservedDeviceName(std::u16string_view path) {
    size_t start = path.size();
    while (start > 0 && path[start - 1] != u'\\' && path[start - 1] != u'/' && path[start - 1] != u':') --start;
    std::u16string_view name = path.substr(start);
    while (!name.empty() && (name.back() == u' ' || name.back() == u'.')) name.remove_suffix(1);
    std::wstring upper;
    for (char16_t c : name) upper += static_cast<wchar_t>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
    static const wchar_t* const kPlain[] = {L"NUL", L"CON", L"PRN", L"AUX"};
    bool reserved = false;
    for (const wchar_t* device : kPlain) reserved |= upper == device;
    if (upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) && upper[3] >= L'1' &&
        upper[3] <= L'9')
        reserved = true;
    return reserved ? L"\\\\.\\" + upper : std::wstring();
}

}  // namespace

bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& buffer, size_t& bytesRead, uint64_t sizeLimit) {
    std::vector<uint8_t>().swap(buffer);
    bytesRead = 0;

    const std::wstring wide = os::ToWidePath(path);
    HANDLE handle =
        CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // A directory opens nowhere as a file; it is reported as a file that
        // cannot be read, as on the other side, not as a permission problem.
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastErrorText(os::kErrorIsDirectory, u"读取文件 %s 失败", path);
        } else {
            SetLastErrorText(code, u"打开文件 %s 失败", path);
        }
        return false;
    }
    UniqueFile file(handle);

    LARGE_INTEGER fileSize{};
    if (!GetFileSizeEx(handle, &fileSize)) {
        SetLastErrorText(0, u"获取文件 %s 大小失败", path);
        return false;
    }
    const uint64_t size = fileSize.QuadPart > 0 ? static_cast<uint64_t>(fileSize.QuadPart) : 0;
    std::vector<uint8_t> data;
    if (!os::AllocateWholeFileBlock(path, size, sizeLimit, data)) return false;

    size_t done = 0;
    while (done < data.size()) {
        DWORD got = 0;
        if (!ReadFile(handle, data.data() + done, static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer)), &got,
                      nullptr)) {
            SetLastErrorText(0, u"读取文件 %s 失败", path);
            return false;
        }
        if (got == 0) break;  // the file shrank since its size was taken
        done += got;
    }
    data.resize(done);
    buffer = std::move(data);
    bytesRead = done;
    return true;
}

bool WriteWholeFile(std::u16string_view path, const void* data1, size_t size1, const void* data2, size_t size2) {
    const std::wstring target = ResolveLinks(os::ToWidePath(path));
    if (os::IsDevicePath(path)) return WriteInPlace(target, path, false, data1, size1, data2, size2);
    if (const std::wstring device = ReservedDeviceName(path); !device.empty())
        return WriteInPlace(device, path, false, data1, size1, data2, size2);

    const DWORD old = GetFileAttributesW(target.c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    if (exists && (old & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastErrorText(os::kErrorIsDirectory, u"创建文件 %s 失败", path);
        return false;
    }
    // A file the user marked read-only stays protected, as it would be
    // against a write in place.
    if (exists && (old & FILE_ATTRIBUTE_READONLY)) {
        SetLastErrorText(os::kErrorAccessDenied, u"创建文件 %s 失败", path);
        return false;
    }

    std::wstring temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD createError = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        // The temporary name is longer than the target's: it may need the
        // long form where the target did not.
        temporary = os::ToWidePath(os::FromWide(TemporaryName(target)));
        handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            createError = GetLastError();
            if (createError != ERROR_FILE_EXISTS && createError != ERROR_ALREADY_EXISTS) break;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        // A directory that refuses new entries may still hold a writable
        // file: write that one in place rather than not at all.
        if (exists && createError == ERROR_ACCESS_DENIED)
            return WriteInPlace(target, path, true, data1, size1, data2, size2);
        SetLastErrorText(createError, u"创建文件 %s 失败", path);
        return false;
    }
    UniqueFile file(handle);

    bool ok = WriteBlocks(handle, data1, size1, data2, size2) && FlushFileBuffers(handle) && file.close();
    // The replaced file's own marks (hidden, system, archive) carry over.
    if (ok && exists) SetFileAttributesW(temporary.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
    ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        const DWORD code = GetLastError();
        file.reset();
        DeleteFileW(temporary.c_str());
        SetLastErrorText(code, u"写入文件 %s 失败", path);
        return false;
    }
    return true;
}

}  // namespace qm
