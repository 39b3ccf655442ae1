// The algorithm catalogue: class id -> display name and factory.
//
// One table for the process, filled once at start-up by
// RegisterBuiltInEngines() (register_engines.h) before any worker thread
// exists and read without a lock afterwards. Its order is the order in which
// the algorithms are offered to the user.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engines/hash_object.h"

namespace qm {

// Makes a fresh engine; null when memory is exhausted.
using HashObjectFactory = std::unique_ptr<CQmHashObject> (*)();

struct HashClassEntry {
    int32_t classId = 0;
    const char16_t* name = u"";
    HashObjectFactory factory = nullptr;
};

class CQmHashCatalog {
public:
    CQmHashCatalog() = default;
    CQmHashCatalog(const CQmHashCatalog&) = delete;
    CQmHashCatalog& operator=(const CQmHashCatalog&) = delete;

    // Calls the factory once and records the temporary engine's class id and
    // name with the factory as the new last entry. A null engine (or a null
    // factory) registers nothing.
    void RegisterClass(HashObjectFactory factory);

    // A new engine of the first entry with `classId`. An unknown id records
    // "创建对象实列失败:不支持的类ID." and gives null.
    std::unique_ptr<CQmHashObject> CreateObject(int32_t classId) const;

    // Position of the first entry with `classId`, or -1 after recording
    // "获取类型对应索引号失败:不支持的类ID.".
    int IndexOf(int32_t classId) const;

    // Class id of the first entry whose name equals `name` ignoring case, or 0.
    int32_t FindByName(std::u16string_view name) const;

    int GetCount() const { return static_cast<int>(entries_.size()); }

    // The entry at `index`, or null when `index` is out of range.
    const HashClassEntry* GetAt(int index) const;

    // True when an entry with `classId` exists (records nothing).
    bool Contains(int32_t classId) const;

private:
    std::vector<HashClassEntry> entries_;
};

// The process-wide catalogue, created on first use.
CQmHashCatalog& GetHashCatalog();

}  // namespace qm
