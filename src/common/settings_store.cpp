#include "common/settings_store.h"

#include "common/error_record.h"

namespace qm {

bool ReadRegistryValue(const CQmSettingsKey& key, std::u16string_view name, uint32_t& value) {
    uint32_t code = 0;
    if (os::QuerySettingsValue(key, name, value, code)) return true;
    SetLastErrorText(code, u"获取注册表键值失败");
    return false;
}

bool ReadRegistryValue(const CQmSettingsKey& key, std::u16string_view name, int32_t& value) {
    uint32_t raw = static_cast<uint32_t>(value);
    if (!ReadRegistryValue(key, name, raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
}

bool WriteRegistryValue(const CQmSettingsKey& key, std::u16string_view name, uint32_t value) {
    uint32_t code = 0;
    if (os::SetSettingsValue(key, name, value, code)) return true;
    SetLastErrorText(code, u"设置注册表键值失败");
    return false;
}

}  // namespace qm
