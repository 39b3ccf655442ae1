// The hash document.
#include "document/quorvia_doc.h"

#include <algorithm>
#include <utility>

#include "common/app_info.h"
#include "common/error_record.h"
#include "common/os/path_rules.h"
#include "common/path_util.h"
#include "common/settings_store.h"
#include "common/string_util.h"
#include "common/text_format.h"
#include "engines/hash_catalog.h"
#include "engines/hash_text.h"

namespace qm {

namespace {

constexpr std::u16string_view kHashAlgValue = u"HashAlg";

}  // namespace

CQmQuorviaDoc::CQmQuorviaDoc() {
    Clear();
    // The last algorithm used; a missing key or value keeps SHA1. The value
    // is taken as it is, without asking the catalogue.
    int32_t algorithm = algorithm_;
    {
        // A first run has no settings yet: that is no error of the caller's.
        PreserveLastError keep;
        if (std::unique_ptr<CQmSettingsKey> key = GetAppInfo().OpenSettingsKey(nullptr, KEY_READ)) {
            ReadRegistryValue(*key, kHashAlgValue, algorithm);
        }
    }
    algorithm_ = algorithm;
}

CQmQuorviaDoc::~CQmQuorviaDoc() {
    const uint32_t algorithm = static_cast<uint32_t>(algorithm_);
    // A temporary document dies just before its caller shows why a load
    // failed; the settings write must not replace that text.
    PreserveLastError keep;
    if (std::unique_ptr<CQmSettingsKey> key = GetAppInfo().OpenSettingsKey(nullptr, KEY_WRITE)) {
        WriteRegistryValue(*key, kHashAlgValue, algorithm);
    }
}

void CQmQuorviaDoc::Clear() {
    std::vector<QuorviaItemPtr> old;
    {
        std::lock_guard guard(lock_);
        old.swap(items_);
    }
    old.clear();  // destroyed outside the lock
    SetFileCount(0);
    SetTotalBytes(0);
    modified_ = false;
    listPath_.clear();
    unreadableLines_.clear();
}

bool CQmQuorviaDoc::BeginTask(std::u16string_view rootDir, int32_t classId, bool includeSubdirs) {
    listPath_.clear();
    includeSubdirs_ = includeSubdirs;
    modified_ = true;
    SetTotalBytes(0);

    std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(classId);
    if (!engine) return false;
    algorithm_ = classId;
    digestSize_ = static_cast<int32_t>(engine->GetHashSize());
    engine.reset();

    rootDir_.assign(rootDir);
    return true;
}

void CQmQuorviaDoc::AppendItems(std::vector<QuorviaItemPtr>& batch) {
    {
        std::lock_guard guard(lock_);
        // The enumeration appends once per directory, often a handful of
        // items; reserving exactly that much would copy the whole array on
        // every call. Growing by half keeps appends linear.
        const size_t needed = items_.size() + batch.size();
        if (needed > items_.capacity()) items_.reserve(std::max(needed, items_.capacity() + items_.capacity() / 2));
        for (QuorviaItemPtr& item : batch) {
            if (item) items_.push_back(std::move(item));
        }
    }
    batch.clear();
}

void CQmQuorviaDoc::AppendItem(QuorviaItemPtr item) {
    if (!item) return;
    std::lock_guard guard(lock_);
    items_.push_back(std::move(item));
}

namespace {

// True when places[i] is where order[i] stands in `items`, for every i, and
// no place comes twice: then `order` names each item exactly once.
bool PlacesMatch(const std::vector<QuorviaItemPtr>& items, std::span<CQmQuorviaItem* const> order,
                 std::span<const uint32_t> places) {
    if (places.size() != order.size()) return false;
    std::vector<bool> seen(items.size(), false);
    for (size_t i = 0; i < order.size(); ++i) {
        const uint32_t place = places[i];
        if (place >= items.size() || seen[place] || items[place].get() != order[i]) return false;
        seen[place] = true;
    }
    return true;
}

}  // namespace

bool CQmQuorviaDoc::ReplaceItems(std::span<CQmQuorviaItem* const> order, std::span<const uint32_t> places) {
    std::lock_guard guard(lock_);
    if (order.size() != items_.size()) return false;

    // Every pointer of `order` must name one of our items, each once;
    // anything else would leave an item without an owner or with two.
    // Without places that hold, both sets sorted by address are equal
    // exactly when that is so, which costs two sorts of plain pointers
    // instead of a search per item.
    if (!PlacesMatch(items_, order, places)) {
        std::vector<const CQmQuorviaItem*> ours(items_.size());
        for (size_t i = 0; i < items_.size(); ++i) ours[i] = items_[i].get();
        std::vector<const CQmQuorviaItem*> theirs(order.begin(), order.end());
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        if (ours != theirs) return false;
    }

    // `order` is a permutation of what items_ owns, so handing each pointer
    // from its old slot to its new one loses and doubles nothing; nothing
    // between the release and the resets can throw.
    for (QuorviaItemPtr& own : items_) static_cast<void>(own.release());
    for (size_t i = 0; i < order.size(); ++i) items_[i].reset(order[i]);
    return true;
}

bool CQmQuorviaDoc::RemoveItem(const CQmQuorviaItem* item) {
    const CQmQuorviaItem* const one[] = {item};
    return RemoveItems(one) == 1;
}

size_t CQmQuorviaDoc::RemoveItems(std::span<const CQmQuorviaItem* const> items) {
    // Removing a selection of many rows one by one would search and shift
    // the array once per row; sorted addresses let one pass find them all.
    std::vector<const CQmQuorviaItem*> doomed(items.begin(), items.end());
    std::sort(doomed.begin(), doomed.end());
    std::vector<QuorviaItemPtr> removed;
    {
        std::lock_guard guard(lock_);
        auto kept = items_.begin();
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (std::binary_search(doomed.begin(), doomed.end(), it->get())) {
                removed.push_back(std::move(*it));
            } else {
                if (kept != it) *kept = std::move(*it);
                ++kept;
            }
        }
        items_.erase(kept, items_.end());
        if (removed.empty()) return 0;
        uint64_t bytes = 0;
        for (const QuorviaItemPtr& item : removed) bytes += item->GetLength();
        fileCount_.fetch_sub(removed.size(), std::memory_order_acq_rel);
        totalBytes_.fetch_sub(bytes, std::memory_order_acq_rel);
        modified_ = true;
    }
    // The items are destroyed here, after the lock is given back.
    return removed.size();
}

std::vector<QuorviaItemPtr> CQmQuorviaDoc::TakeItems() {
    std::lock_guard guard(lock_);
    return std::exchange(items_, {});
}

CQmQuorviaItem* CQmQuorviaDoc::GetItemAt(size_t index) const {
    std::lock_guard guard(lock_);
    return index < items_.size() ? items_[index].get() : nullptr;
}

size_t CQmQuorviaDoc::GetItems(size_t start, std::span<CQmQuorviaItem*> out) const {
    std::lock_guard guard(lock_);
    if (start >= items_.size()) return 0;
    const size_t count = std::min(out.size(), items_.size() - start);
    for (size_t i = 0; i < count; ++i) out[i] = items_[start + i].get();
    return count;
}

std::vector<CQmQuorviaItem*> CQmQuorviaDoc::GetItems() const {
    std::lock_guard guard(lock_);
    std::vector<CQmQuorviaItem*> items;
    items.reserve(items_.size());
    for (const QuorviaItemPtr& item : items_) items.push_back(item.get());
    return items;
}

size_t CQmQuorviaDoc::GetItemCount() const {
    std::lock_guard guard(lock_);
    return items_.size();
}

std::u16string CQmQuorviaDoc::GetTitle() const {
    if (listPath_.empty()) return u"未命名";
    return PathRemoveExtension(PathFindFileName(listPath_));
}

std::u16string CQmQuorviaDoc::GetLink115(const CQmQuorviaItem* item) const {
    std::u16string link;
    if (!item || !item->HasHash()) return link;

    std::u16string hashText;
    GetHashValueText(algorithm_, item->GetHash(), static_cast<uint32_t>(digestSize_), hashText);
    const std::u16string& path = item->GetPath();
    link = FormatText(u"115://%s|%llu|%s", PathFindFileName(path), item->GetLength(), hashText);

    // The directories between the root and the file, compared by whole
    // components: a root of /data does not claim /database/x. An item
    // outside the root gets no directory fields.
    std::optional<std::u16string_view> rest = GetRelativePath(path, rootDir_);
    if (!rest) return link;
    std::u16string_view dirs = *rest;
    for (size_t i = 0; i < dirs.size();) {
        if (!os::IsPathSeparator(dirs[i])) {
            ++i;
            continue;
        }
        if (i != 0) {
            link += u'|';
            link.append(dirs.substr(0, i));
        }
        dirs.remove_prefix(i + 1);
        i = 0;
    }
    return link;
}

bool CQmQuorviaDoc::AreAllHashed(bool skipUnselected) const {
    std::lock_guard guard(lock_);
    return std::all_of(items_.begin(), items_.end(), [skipUnselected](const QuorviaItemPtr& item) {
        return item->HasHash() || (skipUnselected && !item->IsSelected());
    });
}

void CQmQuorviaDoc::SelectAll(bool select, bool onlyHashed) {
    std::lock_guard guard(lock_);
    for (const QuorviaItemPtr& item : items_) item->SetSelected(select && (!onlyHashed || item->HasHash()));
}

uint64_t CQmQuorviaDoc::RecountSelectedBytes() {
    uint64_t bytes = 0;
    {
        std::lock_guard guard(lock_);
        for (const QuorviaItemPtr& item : items_) {
            if (item->IsSelected()) bytes += item->GetLength();
        }
    }
    selectedBytes_.store(bytes, std::memory_order_release);
    return bytes;
}

void CQmQuorviaDoc::AdjustTotals(const CQmQuorviaItem* item, uint64_t difference) {
    totalBytes_.fetch_sub(difference, std::memory_order_acq_rel);
    if (item && item->IsSelected()) selectedBytes_.fetch_sub(difference, std::memory_order_acq_rel);
}

void CQmQuorviaDoc::ResetItemStates() {
    std::lock_guard guard(lock_);
    for (const QuorviaItemPtr& item : items_) {
        item->SetReading(false);
        item->SetProcessed(false);
    }
}

void CQmQuorviaDoc::ClearItemErrors() {
    std::lock_guard guard(lock_);
    for (const QuorviaItemPtr& item : items_) item->SetError({});
}

CQmQuorviaDoc& GetQuorviaDoc() {
    static CQmQuorviaDoc doc;
    return doc;
}

}  // namespace qm
