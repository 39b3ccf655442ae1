// The names the program presents itself under, and its settings keys.
//
// One CQmAppInfo per process (GetAppInfo). Start-up sets the display name
// (the caption of message boxes), the title suffix of the main window and the
// product key; company and product key name the settings store and key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/settings_store.h"

namespace qm {

class CQmAppInfo {
public:
    CQmAppInfo();
    CQmAppInfo(const CQmAppInfo&) = delete;
    CQmAppInfo& operator=(const CQmAppInfo&) = delete;

    // Each non-null argument replaces its field. A null product key while the
    // product key is still empty takes the program file's name without
    // directory and extension. Then the title becomes "display - company".
    void SetNames(const char16_t* displayName, const char16_t* productKey, const char16_t* company);
    // The title; null gives an empty title.
    void SetTitle(const char16_t* text);

    const std::u16string& GetDisplayName() const { return displayName_; }
    const std::u16string& GetAppTitle() const { return title_; }
    const std::u16string& GetCompany() const { return company_; }
    const std::u16string& GetProductKey() const { return productKey_; }

    // "SOFTWARE\<company>\<product>", with `subPath` appended as one more
    // component when given. The name in messages and of the key in the store.
    std::u16string GetSettingsKeyPath(const char16_t* subPath) const;
    // Where the settings are kept (os::GetSettingsLocation): the settings
    // file's path, empty when there is no home, or the registry key's name.
    std::u16string GetSettingsLocation() const;

    // Opens the settings key (KEY_READ: it must exist; any other access opens
    // or creates it). On failure records "打开注册表键值 %s 失败" with the key
    // path and returns null.
    std::unique_ptr<CQmSettingsKey> OpenSettingsKey(const char16_t* subPath, uint32_t access) const;

private:
    // The product key, or the program's name while none is set, so the
    // settings never land in a nameless file.
    std::u16string EffectiveProductKey() const;

    std::u16string company_;
    std::u16string productKey_;
    std::u16string displayName_;
    std::u16string title_;
};

// The process-wide object, created on first use (safe against concurrent
// first calls). After start-up its fields are only read.
CQmAppInfo& GetAppInfo();

}  // namespace qm
