#include "common/os/win32/wide_path.h"

#include <windows.h>

#include <vector>

namespace qm::os {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is UTF-16 on Windows");

constexpr size_t kPlainPathLimit = MAX_PATH;

std::wstring AsWide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// GetFullPathNameW of `path`, or `path` itself when the system cannot make
// it absolute (the open that follows then reports why).
std::wstring FullPath(const std::wstring& path) {
    std::vector<wchar_t> buffer(path.size() + MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return path;
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n);
    }
}

}  // namespace

std::wstring ToWidePath(std::u16string_view path) {
    std::wstring wide = AsWide(path);
    // The forms that bypass the name rules already: \\?\... and \\.\...
    if (wide.size() >= 4 && wide[0] == L'\\' && wide[1] == L'\\' && (wide[2] == L'?' || wide[2] == L'.') &&
        wide[3] == L'\\')
        return wide;
    if (wide.size() < kPlainPathLimit) return wide;

    // The long form takes neither relative parts nor '/' separators: the
    // full path name resolves both.
    std::wstring full = FullPath(wide);
    if (full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\') return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace qm::os
