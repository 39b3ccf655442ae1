// One file of the hash list.
//
// An item is a CQmIoObject (path, open file, error text, stored hash, state
// flags) plus what only the list needs: the last-write time, the icon, the
// list view's row id, the changed flag and the hash of a verification run.
//
// Threads, in addition to those of CQmIoObject:
//   last-write time, changed  written by the reader in Open, read by the UI;
//                             the UI clears changed once it redrew the row
//   verification hash         written by the hasher in a verification run
//                             before it sets processed; the UI reads it after
//                             seeing processed
//   icon index, view id       user-interface thread only
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "input/io_object.h"

namespace qm {

// Where items get their icon index: the windows install a provider over their
// icon cache; without one every item has -1. The provider is called on the
// enumeration thread too, so it must be thread-safe, and it must stay alive
// until it is replaced (install it before the first task, remove it after the
// last thread ended).
class CQmFileIconProvider {
public:
    virtual ~CQmFileIconProvider() = default;
    virtual int32_t GetFileIconIndex(std::u16string_view path) = 0;
};

// nullptr restores the default (-1 for every path).
void SetFileIconProvider(CQmFileIconProvider* provider);
// The installed provider's index for `path`, or -1 without one.
int32_t GetItemIconIndex(std::u16string_view path);

// The size argument of CreateItem when the caller has none.
inline constexpr uint64_t kUnknownFileSize = ~uint64_t{0};

class CQmQuorviaItem : public CQmIoObject {
public:
    explicit CQmQuorviaItem(std::u16string path) : CQmIoObject(std::move(path)) {}

    // A new item for `path`, selected, not in any document yet. A size of
    // kUnknownFileSize or a time of 0 is taken from the file's attributes;
    // when they cannot be read the item carries "获取文件属性失败" with the
    // system's text as its error and an unknown size becomes 0.
    static std::unique_ptr<CQmQuorviaItem> CreateItem(std::u16string_view path, uint64_t size,
                                                      uint64_t lastWriteTime);

    // Slot 0: the base open with the length settled to the file's current
    // size; a size or last-write time that differs from the known one is
    // stored, sets changed, and a new size adjusts the process-wide
    // document's totals.
    QmFileHandle Open() override { return OpenAndDescribe(nullptr); }
    // The same, also giving the attributes the open found (when it succeeded).
    QmFileHandle OpenAndDescribe(os::FileAttributes* opened);
    // Slot 2: in a verification run (the process-wide document's verify
    // mode) the digest goes into the verification hash, and the stored hash
    // and has-hash stay as they are.
    bool SetHash(const uint8_t* bytes, size_t size, int32_t classId) override;

    // Parses a hash text of algorithm `classId` (the hash text rules) and
    // stores it as the stored hash. A text read from a hash list is always a
    // stored hash, so this does not follow the verify mode.
    bool SetHashText(std::u16string_view text, int32_t classId);
    // True when the first `size` bytes of the verification hash equal those
    // of the stored hash.
    bool VerifyMatches(size_t size) const;
    const uint8_t* GetVerifyHash() const { return verifyHash_.data(); }

    uint64_t GetLastWriteTime() const { return lastWriteTime_.load(std::memory_order_acquire); }
    void SetLastWriteTime(uint64_t time) { lastWriteTime_.store(time, std::memory_order_release); }
    int32_t GetIconIndex() const { return iconIndex_; }
    void SetIconIndex(int32_t index) { iconIndex_ = index; }
    int32_t GetViewId() const { return viewId_; }
    void SetViewId(int32_t id) { viewId_ = id; }
    bool IsChanged() const { return changed_.load(std::memory_order_acquire); }
    void SetChanged(bool flag) { changed_.store(flag, std::memory_order_release); }

private:
    std::atomic<uint64_t> lastWriteTime_{0};
    int32_t iconIndex_ = -1;
    int32_t viewId_ = 0;
    std::atomic<bool> changed_{false};
    std::array<uint8_t, kMaxDigestSize> verifyHash_{};
};

}  // namespace qm
