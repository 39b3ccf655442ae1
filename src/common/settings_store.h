// The per-user settings store.
//
// Settings live in an INI file per program ("$XDG_CONFIG_HOME/<company>/
// <product>.conf"); a settings key is one section of it, named by the key
// path ("SOFTWARE\<company>\<product>"). Values are 32-bit numbers written in
// decimal. The file is read afresh on every query and rewritten whole and
// atomically on every change, so a crash or a full disk never leaves half a
// file; a missing, unreadable or corrupt file simply holds no values.
//
// Keys are opened through CQmAppInfo::OpenSettingsKey (app_info.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qm {

// Access masks as callers pass them: KEY_READ opens an existing key for
// reading; any other mask opens or creates the key for reading and writing.
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_WRITE = 0x20006;

class CQmSettingsKey {
public:
    CQmSettingsKey(std::u16string filePath, std::u16string section, bool writable)
        : filePath_(std::move(filePath)), section_(std::move(section)), writable_(writable) {}

    const std::u16string& FilePath() const { return filePath_; }
    const std::u16string& Section() const { return section_; }
    bool Writable() const { return writable_; }

private:
    std::u16string filePath_;
    std::u16string section_;
    bool writable_;
};

// Opens section `section` of the INI file `filePath` (see KEY_READ). On
// failure records "打开注册表键值 %s 失败" with `keyPath` and the system's
// reason, and returns null. Creating a key creates the file's directory
// (mode 0700) and the section.
std::unique_ptr<CQmSettingsKey> OpenSettingsFileKey(std::u16string_view filePath, std::u16string_view section,
                                                    uint32_t access, std::u16string_view keyPath);

// Reads value `name` of the key into `value`. A missing value, or one that is
// not a 32-bit number, leaves `value` as it was, records "获取注册表键值失败"
// with the system's reason and gives false.
bool ReadRegistryValue(const CQmSettingsKey& key, std::u16string_view name, uint32_t& value);
bool ReadRegistryValue(const CQmSettingsKey& key, std::u16string_view name, int32_t& value);

// Stores `value` as `name` (the rest of the file is kept line for line). On
// failure records "设置注册表键值失败" with the system's reason.
bool WriteRegistryValue(const CQmSettingsKey& key, std::u16string_view name, uint32_t value);

// The per-user configuration directory: $XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config. Empty when no home directory is known.
std::u16string GetConfigHome();

}  // namespace qm
