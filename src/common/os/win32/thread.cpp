#include "common/os/thread.h"

#include <windows.h>

#include <cerrno>
#include <string>

namespace qm::os {
namespace {

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// SetThreadDescription exists from Windows 10 1607 on (and not in every
// Wine), so it is looked up rather than linked.
SetThreadDescriptionFn LookUpSetThreadDescription() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<SetThreadDescriptionFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
}

}  // namespace

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

void SetCurrentThreadName(const char* name) {
    static const SetThreadDescriptionFn setDescription = LookUpSetThreadDescription();
    if (!setDescription || !name) return;
    std::wstring wide;
    for (const char* p = name; *p; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    setDescription(GetCurrentThread(), wide.c_str());
}

uint32_t ThreadErrorCode(const std::system_error& error) {
    switch (error.code().value()) {
        case EAGAIN:
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EDEADLK: return ERROR_POSSIBLE_DEADLOCK;
        case ESRCH: return ERROR_INVALID_HANDLE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        default: return ERROR_INVALID_FUNCTION;
    }
}

}  // namespace qm::os
