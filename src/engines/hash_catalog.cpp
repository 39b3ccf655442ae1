// The algorithm catalogue.
#include "engines/hash_catalog.h"

#include "common/error_record.h"

namespace qm {
namespace {

char16_t FoldAsciiCase(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    }
    return true;
}

}  // namespace

void CQmHashCatalog::RegisterClass(HashObjectFactory factory) {
    if (!factory) return;
    const std::unique_ptr<CQmHashObject> probe = factory();
    if (!probe) return;
    if (entries_.size() == entries_.capacity()) {
        // Grow by half the capacity, at least to the needed count.
        const size_t needed = entries_.size() + 1;
        const size_t grown = entries_.capacity() + entries_.capacity() / 2;
        entries_.reserve(grown > needed ? grown : needed);
    }
    entries_.push_back(HashClassEntry{probe->GetClassId(), probe->GetName(), factory});
}

std::unique_ptr<CQmHashObject> CQmHashCatalog::CreateObject(int32_t classId) const {
    for (const HashClassEntry& entry : entries_) {
        if (entry.classId == classId) return entry.factory();
    }
    SetErrorText(os::kErrorInvalidArgument, u"创建对象实列失败:不支持的类ID.");
    return nullptr;
}

int CQmHashCatalog::IndexOf(int32_t classId) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].classId == classId) return static_cast<int>(i);
    }
    SetErrorText(os::kErrorInvalidArgument, u"获取类型对应索引号失败:不支持的类ID.");
    return -1;
}

int32_t CQmHashCatalog::FindByName(std::u16string_view name) const {
    for (const HashClassEntry& entry : entries_) {
        if (EqualIgnoringCase(entry.name, name)) return entry.classId;
    }
    return 0;
}

const HashClassEntry* CQmHashCatalog::GetAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return nullptr;
    return &entries_[static_cast<size_t>(index)];
}

bool CQmHashCatalog::Contains(int32_t classId) const {
    for (const HashClassEntry& entry : entries_) {
        if (entry.classId == classId) return true;
    }
    return false;
}

CQmHashCatalog& GetHashCatalog() {
    // Never destroyed before the engines' last users: worker threads are
    // joined before exit, and the entries hold no resources.
    static CQmHashCatalog catalog;
    return catalog;
}

}  // namespace qm
