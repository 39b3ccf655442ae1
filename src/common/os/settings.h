// The per-user settings store: keys holding named 32-bit values.
//
// Windows keeps them in the registry under HKEY_CURRENT_USER; a key is an
// open registry key. Linux keeps them in one INI file per program
// ("$XDG_CONFIG_HOME/<company>/<product>.conf"); a key is a section of it,
// named by the key path. Either way a key path reads
// "SOFTWARE\<company>\<product>" (with more components for sub-keys).
//
// Failures come back as the system's error code; the callers record the
// program's own texts with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qm::os {

// Access masks, with the registry's values: kSettingsRead opens an existing
// key for reading; any other mask opens or creates the key for reading and
// writing.
inline constexpr uint32_t kSettingsRead = 0x20019;   // KEY_READ
inline constexpr uint32_t kSettingsWrite = 0x20006;  // KEY_WRITE

#if defined(_WIN32)
// Owns an open registry key and closes it.
class SettingsKey {
public:
    explicit SettingsKey(void* key) : key_(key) {}
    ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    void* Handle() const { return key_; }  // an HKEY

private:
    void* key_;
};
#else
// A section of a settings file. The file is read afresh on every query and
// rewritten whole and atomically on every change, so a crash or a full disk
// never leaves half a file; a missing, unreadable or corrupt file simply
// holds no values.
class SettingsKey {
public:
    SettingsKey(std::u16string filePath, std::u16string section, bool writable)
        : filePath_(std::move(filePath)), section_(std::move(section)), writable_(writable) {}

    const std::u16string& FilePath() const { return filePath_; }
    const std::u16string& Section() const { return section_; }
    bool Writable() const { return writable_; }

private:
    std::u16string filePath_;
    std::u16string section_;
    bool writable_;
};

// The per-user configuration directory: $XDG_CONFIG_HOME when it is an
// absolute path, else ~/.config. Empty when no home directory is known.
std::u16string GetConfigHome();
#endif

// Where the settings of `company`'s `product` are kept, for people to read:
// the settings file's path (empty when there is no home directory), or the
// registry key's full name.
std::u16string GetSettingsLocation(std::u16string_view company, std::u16string_view product);

// Opens key `keyPath` of `company`'s `product` with `access`. Null on
// failure, with the reason in `code`. Creating a key on Linux creates the
// file's directory (mode 0700) and the section.
std::unique_ptr<SettingsKey> OpenSettingsKey(std::u16string_view company, std::u16string_view product,
                                             std::u16string_view keyPath, uint32_t access, uint32_t& code);

// Reads up to 4 bytes of value `name` into `value`. On failure `value` keeps
// what it had when the value is missing, and `code` says why.
bool QuerySettingsValue(const SettingsKey& key, std::u16string_view name, uint32_t& value, uint32_t& code);

// Stores `value` as `name` (a DWORD value; on Linux the rest of the file is
// kept line for line). On failure `code` says why.
bool SetSettingsValue(const SettingsKey& key, std::u16string_view name, uint32_t value, uint32_t& code);

}  // namespace qm::os
