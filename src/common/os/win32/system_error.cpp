#include "common/os/system_error.h"

#include <windows.h>

#include <atomic>

namespace qm::os {
namespace {

// Codes 12000 to 12999 are the internet functions'; their texts live in the
// module's own message table, not in the system's.
constexpr uint32_t kInternetFirst = 12000;
constexpr uint32_t kInternetLast = 12999;

// Found once and kept for the life of the process (a module loaded here is
// never freed). Two threads looking at the same time store the same handle.
HMODULE InternetModule() {
    static std::atomic<HMODULE> cached{nullptr};
    HMODULE module = cached.load(std::memory_order_acquire);
    if (module) return module;
    module = GetModuleHandleW(L"wininet.dll");
    if (!module) module = LoadLibraryW(L"wininet.dll");
    if (module) cached.store(module, std::memory_order_release);
    return module;
}

}  // namespace

bool GetSystemErrorText(uint32_t code, std::u16string& text) {
    text.clear();
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE source = nullptr;
    if (code >= kInternetFirst && code <= kInternetLast) {
        source = InternetModule();
        if (source) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    wchar_t buffer[4096];
    // The user's language (LANG_NEUTRAL, SUBLANG_DEFAULT).
    const DWORD length = FormatMessageW(flags, source, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                                        4095, nullptr);
    if (length == 0) return false;
    text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
    return true;
}

}  // namespace qm::os
