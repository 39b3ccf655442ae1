// What the Windows test programs take from the system, kept out of the
// shared test headers so that <windows.h> and its macros reach no test.
#include <windows.h>
#include <bcrypt.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <string_view>
#include <system_error>

#include "support/cng_digest.h"
#include "support/sparse_file.h"
#include "support/worker_threads.h"

namespace qm::test {

std::vector<uint8_t> CngDigest(std::string_view name, std::string_view data) {
    const struct {
        std::string_view name;
        const wchar_t* id;
    } kAlgorithms[] = {{"MD2", BCRYPT_MD2_ALGORITHM},       {"MD4", BCRYPT_MD4_ALGORITHM},
                       {"MD5", BCRYPT_MD5_ALGORITHM},       {"SHA1", BCRYPT_SHA1_ALGORITHM},
                       {"SHA256", BCRYPT_SHA256_ALGORITHM}, {"SHA384", BCRYPT_SHA384_ALGORITHM},
                       {"SHA512", BCRYPT_SHA512_ALGORITHM}};
    const wchar_t* id = nullptr;
    for (const auto& a : kAlgorithms) {
        if (a.name == name) id = a.id;
    }
    if (!id) return {};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, id, nullptr, 0))) return {};
    std::vector<uint8_t> digest;
    DWORD size = 0;
    ULONG got = 0;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCRYPT_SUCCESS(BCryptGetProperty(algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&size), sizeof size,
                                         &got, 0)) &&
        BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
        digest.resize(size);
        const bool ok =
            BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                          static_cast<ULONG>(data.size()), 0)) &&
            BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), size, 0));
        if (!ok) digest.clear();
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return digest;
}

void MakeSparseFile(const std::filesystem::path& path, uint64_t size) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateFileW");
    DWORD returned = 0;
    // Not every file system keeps sparse files; there the end is set anyway.
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) throw std::system_error(static_cast<int>(error), std::system_category(), "SetEndOfFile");
}

// The process's threads from the system's snapshot, each name read with
// GetThreadDescription (looked up, as older systems lack it).
size_t WorkerThreadCount() {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    static const auto getDescription = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    if (!getDescription) return 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        const HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        PWSTR name = nullptr;
        if (SUCCEEDED(getDescription(thread, &name)) && name) {
            count += std::wstring_view(name).starts_with(L"qm-") ? 1 : 0;
            LocalFree(name);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}


}  // namespace qm::test
