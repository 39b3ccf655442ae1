// The per-user settings: 32-bit values under the program's settings key.
//
// The store is the OS layer's (os/settings.h: the registry on Windows, an
// INI file per program on Linux). Keys are opened through
// CQmAppInfo::OpenSettingsKey (app_info.h); these two functions read and
// write their values and record the program's texts on failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/os/settings.h"

namespace qm {

// Access masks as callers pass them: KEY_READ opens an existing key for
// reading; any other mask opens or creates the key for reading and writing.
// A Windows source that included <windows.h> first has them as the system's
// macros, with the same values.
#ifndef KEY_READ
inline constexpr uint32_t KEY_READ = os::kSettingsRead;
#endif
#ifndef KEY_WRITE
inline constexpr uint32_t KEY_WRITE = os::kSettingsWrite;
#endif

using CQmSettingsKey = os::SettingsKey;

// Reads value `name` of the key into `value`. A missing value, or one that is
// not a 32-bit number, leaves `value` as it was, records "获取注册表键值失败"
// with the system's reason and gives false.
bool ReadRegistryValue(const CQmSettingsKey& key, std::u16string_view name, uint32_t& value);
bool ReadRegistryValue(const CQmSettingsKey& key, std::u16string_view name, int32_t& value);

// Stores `value` as `name`. On failure records "设置注册表键值失败" with the
// system's reason.
bool WriteRegistryValue(const CQmSettingsKey& key, std::u16string_view name, uint32_t value);

}  // namespace qm
