#include "common/os/settings.h"

#include <windows.h>

namespace qm::os {
namespace {

std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

}  // namespace

SettingsKey::~SettingsKey() {
    if (key_) RegCloseKey(static_cast<HKEY>(key_));
}

std::u16string GetSettingsLocation(std::u16string_view company, std::u16string_view product) {
    std::u16string location = u"HKEY_CURRENT_USER\\SOFTWARE\\";
    location += company;
    location += u'\\';
    location += product;
    return location;
}

std::unique_ptr<SettingsKey> OpenSettingsKey(std::u16string_view /*company*/, std::u16string_view /*product*/,
                                             std::u16string_view keyPath, uint32_t access, uint32_t& code) {
    // The key path already names company and product under the user's hive.
    const std::wstring path = Wide(keyPath);
    HKEY key = nullptr;
    LSTATUS status;
    if (access == kSettingsRead) {
        // Reading needs an existing key.
        status = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    } else {
        // Opens or creates the key, with all access.
        status = RegCreateKeyW(HKEY_CURRENT_USER, path.c_str(), &key);
    }
    code = static_cast<uint32_t>(status);
    if (status != ERROR_SUCCESS) return nullptr;
    return std::make_unique<SettingsKey>(key);
}

bool QuerySettingsValue(const SettingsKey& key, std::u16string_view name, uint32_t& value, uint32_t& code) {
    const std::wstring valueName = Wide(name);
    DWORD size = sizeof value;
    // The type is not looked at; a missing value leaves `value` untouched.
    const LSTATUS status = RegQueryValueExW(static_cast<HKEY>(key.Handle()), valueName.c_str(), nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(&value), &size);
    code = static_cast<uint32_t>(status);
    return status == ERROR_SUCCESS;
}

bool SetSettingsValue(const SettingsKey& key, std::u16string_view name, uint32_t value, uint32_t& code) {
    const std::wstring valueName = Wide(name);
    const DWORD data = value;
    const LSTATUS status = RegSetValueExW(static_cast<HKEY>(key.Handle()), valueName.c_str(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&data), sizeof data);
    code = static_cast<uint32_t>(status);
    return status == ERROR_SUCCESS;
}

}  // namespace qm::os
