#include "common/app_info.h"

#include "common/error_record.h"
#include "common/os/settings.h"
#include "common/path_util.h"
#include "common/system_info.h"
#include "common/text_format.h"

namespace qm {
namespace {

std::u16string ProgramBaseName() {
    return PathRemoveExtension(PathFindFileName(GetProgramPath()));
}

}  // namespace

CQmAppInfo::CQmAppInfo() : company_(u"Zantoria") {}

void CQmAppInfo::SetNames(const char16_t* displayName, const char16_t* productKey, const char16_t* company) {
    if (displayName) displayName_ = displayName;
    if (productKey) productKey_ = productKey;
    else if (productKey_.empty()) productKey_ = ProgramBaseName();
    if (company) company_ = company;
    title_ = FormatText(u"%s - %s", displayName_, company_);
}

void CQmAppInfo::SetTitle(const char16_t* text) { title_ = text ? text : u""; }

std::u16string CQmAppInfo::EffectiveProductKey() const {
    return productKey_.empty() ? ProgramBaseName() : productKey_;
}

std::u16string CQmAppInfo::GetSettingsKeyPath(const char16_t* subPath) const {
    std::u16string path = FormatText(u"SOFTWARE\\%s\\%s", company_, EffectiveProductKey());
    if (subPath && *subPath) {
        std::u16string_view sub(subPath);
        while (!sub.empty() && sub.front() == u'\\') sub.remove_prefix(1);
        if (!sub.empty()) {
            path += u'\\';
            path += sub;
        }
    }
    return path;
}

std::u16string CQmAppInfo::GetSettingsLocation() const {
    return os::GetSettingsLocation(company_, EffectiveProductKey());
}

std::unique_ptr<CQmSettingsKey> CQmAppInfo::OpenSettingsKey(const char16_t* subPath, uint32_t access) const {
    const std::u16string keyPath = GetSettingsKeyPath(subPath);
    uint32_t code = 0;
    std::unique_ptr<CQmSettingsKey> key = os::OpenSettingsKey(company_, EffectiveProductKey(), keyPath, access, code);
    if (!key) SetLastErrorText(code, u"打开注册表键值 %s 失败", keyPath);
    return key;
}

CQmAppInfo& GetAppInfo() {
    static CQmAppInfo info;
    return info;
}

}  // namespace qm
