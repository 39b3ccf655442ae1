// Items of the hash document.
#include "document/quorvia_item.h"

#include <algorithm>
#include <cstring>

#include "common/error_record.h"
#include "common/formatting.h"
#include "common/os/file.h"
#include "document/quorvia_doc.h"
#include "engines/hash_text.h"

namespace qm {
namespace {

std::atomic<CQmFileIconProvider*> g_iconProvider{nullptr};

}  // namespace

void SetFileIconProvider(CQmFileIconProvider* provider) {
    g_iconProvider.store(provider, std::memory_order_release);
}

int32_t GetItemIconIndex(std::u16string_view path) {
    CQmFileIconProvider* provider = g_iconProvider.load(std::memory_order_acquire);
    return provider ? provider->GetFileIconIndex(path) : -1;
}

std::unique_ptr<CQmQuorviaItem> CQmQuorviaItem::CreateItem(std::u16string_view path, uint64_t size,
                                                           uint64_t lastWriteTime) {
    auto item = std::make_unique<CQmQuorviaItem>(std::u16string(path));
    if (size == kUnknownFileSize || lastWriteTime == 0) {
        os::FileAttributes attributes;
        if (!os::GetPathAttributes(path, attributes)) {
            item->SetError(SetLastErrorText(0, u"获取文件属性失败"));
            if (size == kUnknownFileSize) size = 0;
        } else {
            if (size == kUnknownFileSize) size = attributes.size;
            if (lastWriteTime == 0) lastWriteTime = attributes.lastWriteTime;
        }
    }
    item->SetLastWriteTime(lastWriteTime);
    item->SetLengthValue(size);
    item->SetSelected(true);
    item->SetIconIndex(GetItemIconIndex(item->GetPath()));
    return item;
}

QmFileHandle CQmQuorviaItem::OpenAndDescribe(os::FileAttributes* opened) {
    const uint64_t known = GetLength();
    os::FileAttributes attributes;
    const QmFileHandle fd = OpenRange(0, &attributes);
    if (fd == kInvalidHandle) return fd;

    const uint64_t current = GetLength();
    if (current != known) {
        GetQuorviaDoc().AdjustTotals(this, known - current);
        SetChanged(true);
    }
    const uint64_t time = attributes.lastWriteTime;
    if (time != GetLastWriteTime()) {
        SetLastWriteTime(time);
        SetChanged(true);
    }
    if (opened) *opened = attributes;
    return fd;
}

bool CQmQuorviaItem::SetHash(const uint8_t* bytes, size_t size, int32_t classId) {
    if (!GetQuorviaDoc().IsVerifyMode()) return CQmIoObject::SetHash(bytes, size, classId);
    return StoreDigest(verifyHash_, bytes, size);
}

bool CQmQuorviaItem::SetHashText(std::u16string_view text, int32_t classId) {
    uint8_t digest[kMaxDigestSize] = {};
    const uint32_t size = ParseHashValueText(classId, text, digest, kMaxDigestSize);
    if (size == 0) {
        SetErrorText(0, u"无效的哈希值。");
        return false;
    }
    return CQmIoObject::SetHash(digest, size, classId);
}

bool CQmQuorviaItem::VerifyMatches(size_t size) const {
    size = std::min(size, kMaxDigestSize);
    return std::memcmp(verifyHash_.data(), GetHash(), size) == 0;
}

}  // namespace qm
