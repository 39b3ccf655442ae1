// The hash document: the in-memory hash list of the current task.
//
// One process-wide instance (GetQuorviaDoc()) holds every file of the task
// with its state, the task's settings and its running totals. The hash list
// loader builds a second, temporary document and moves its items into the
// process-wide one.
//
// Threads and the lock. The lock guards the item array only: AppendItems
// (enumeration thread), GetItemAt (reader thread), GetItems, ReplaceItems,
// RemoveItem(s), TakeItems and GetItemCount (user-interface thread) take it for
// that one operation, and no other lock is taken while it is held.
// Everything else is called by the user-interface thread while no worker
// thread runs, except:
//   - SetTotalBytes / SetFileCount, called once by the enumeration thread as
//     its last act;
//   - AdjustTotals, called by the reader thread (an item's Open) while the UI
//     may read the totals;
//   - IsVerifyMode, read by the reader and the hasher during a run, when
//     nothing changes it.
// The totals, the verify mode and the busy flag are atomics for these cases.
// Item pointers stay valid until Clear, RemoveItem or TakeItems; a worker
// holds plain pointers while a task runs, so items a worker still uses must
// not be removed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/quorvia_item.h"
#include "engines/hash_object.h"

namespace qm {

using QuorviaItemPtr = std::unique_ptr<CQmQuorviaItem>;

// A line of a loaded list that could not be read: its 1-based place in the
// file and the reason ("未知的文件格式。", "无效的哈希值。", "不支持的算法类型。").
struct QmUnreadableLine {
    size_t line = 0;
    std::u16string reason;
};

class CQmQuorviaDoc {
public:
    // Algorithm 5 (SHA1) unless the settings store holds HashAlg.
    CQmQuorviaDoc();
    // Stores the algorithm as HashAlg in the settings store.
    ~CQmQuorviaDoc();
    CQmQuorviaDoc(const CQmQuorviaDoc&) = delete;
    CQmQuorviaDoc& operator=(const CQmQuorviaDoc&) = delete;

    // Destroys every item; file count, total bytes and modified 0, list path
    // empty. Selected bytes, verify mode, busy, algorithm, digest size and
    // root directory stay. Does not take the lock.
    void Clear();
    // Prepares a cleared document for a new task: untitled, the flag stored,
    // modified, total bytes 0; the algorithm and its digest size (from a
    // temporary engine) and the root directory. An algorithm the catalogue
    // does not hold records the catalogue's text and returns false; the first
    // changes then stay.
    bool BeginTask(std::u16string_view rootDir, int32_t classId, bool includeSubdirs);

    // Takes ownership of every item of `batch`, in order, and leaves it empty
    // (its capacity kept for the next batch).
    void AppendItems(std::vector<QuorviaItemPtr>& batch);
    void AppendItem(QuorviaItemPtr item);
    // Puts the document's own items into a new order. `order` must hold every
    // item of the document exactly once; otherwise nothing changes and the
    // result is false. `places`, when given, says where each item of `order`
    // stands now; when it is right the check costs one look per item instead
    // of sorting both sets, and when it is not it is ignored.
    bool ReplaceItems(std::span<CQmQuorviaItem* const> order, std::span<const uint32_t> places = {});
    // Removes and destroys `item`: file count - 1, total bytes - its length,
    // modified. Selected bytes stay. False when the item is not here.
    bool RemoveItem(const CQmQuorviaItem* item);
    // RemoveItem for each of `items` in one pass over the document; items it
    // does not hold (or names twice) are passed over. The number removed.
    size_t RemoveItems(std::span<const CQmQuorviaItem* const> items);
    // Moves every item out (for the list loader); the totals stay.
    std::vector<QuorviaItemPtr> TakeItems();

    // Null when `index` is not below the count.
    CQmQuorviaItem* GetItemAt(size_t index) const;
    // Copies item pointers from `start` on into `out`; the number copied.
    size_t GetItems(size_t start, std::span<CQmQuorviaItem*> out) const;
    // Every item, in order, taken under one lock rather than one per item.
    std::vector<CQmQuorviaItem*> GetItems() const;
    size_t GetItemCount() const;

    // "未命名" when untitled, else the list file's name without extension.
    std::u16string GetTitle() const;
    // The 115 link of `item`: "115://" name "|" length "|" hash text, then
    // "|" and each directory of the path below the root directory. Empty for
    // an item without a stored hash.
    std::u16string GetLink115(const CQmQuorviaItem* item) const;

    // True when every item (every selected item with `skipUnselected`) has a
    // stored hash.
    bool AreAllHashed(bool skipUnselected) const;
    // Selects or deselects every item; with both flags set, items without a
    // stored hash stay unselected.
    void SelectAll(bool select, bool onlyHashed);
    // Selected bytes = the sum of the lengths of the selected items.
    uint64_t RecountSelectedBytes();
    // Subtracts `difference` (old length - new length, modulo 2^64) from the
    // total bytes, and from the selected bytes when `item` is selected.
    void AdjustTotals(const CQmQuorviaItem* item, uint64_t difference);
    // Clears reading and processed of every item.
    void ResetItemStates();
    // Empties every item's error text and sets its updated flag.
    void ClearItemErrors();

    // Reading and writing hash list files (defined with the list file
    // format, document/hash_list.cpp). SaveHashList with a null path writes to
    // the current list path. `givenAlgorithm` is the user's word on the
    // list's algorithm (ListReadHints); QM_HASH_NONE leaves it to the list.
    bool LoadHashList(std::u16string_view path, int32_t givenAlgorithm = QM_HASH_NONE);
    bool SaveHashList(const std::u16string* path);
    // A list that is not in a file (standard input): its bytes, decoded as a
    // file's are, with paths taken against `baseDir`. The document stays
    // untitled.
    bool LoadHashListData(std::string_view data, std::u16string_view baseDir, int32_t givenAlgorithm);

    // The lines the last successful load passed over, in line order. Emptied
    // by Clear, by every load and by a successful save (the file saved holds
    // none of them).
    const std::vector<QmUnreadableLine>& GetUnreadableLines() const { return unreadableLines_; }

    const std::u16string& GetListPath() const { return listPath_; }
    void SetListPath(std::u16string_view path) { listPath_.assign(path); }
    bool HasListPath() const { return !listPath_.empty(); }
    const std::u16string& GetRootDir() const { return rootDir_; }
    void SetRootDir(std::u16string_view dir) { rootDir_.assign(dir); }
    bool IsModified() const { return modified_; }
    void SetModified(bool flag) { modified_ = flag; }
    int32_t GetAlgorithm() const { return algorithm_; }
    // For the list loader, which learns the algorithm from the file.
    void SetAlgorithm(int32_t classId) { algorithm_ = classId; }
    int32_t GetDigestSize() const { return digestSize_; }
    void SetDigestSize(int32_t size) { digestSize_ = size; }
    bool GetIncludeSubdirs() const { return includeSubdirs_; }
    uint64_t GetTotalBytes() const { return totalBytes_.load(std::memory_order_acquire); }
    void SetTotalBytes(uint64_t bytes) { totalBytes_.store(bytes, std::memory_order_release); }
    uint64_t GetFileCount() const { return fileCount_.load(std::memory_order_acquire); }
    void SetFileCount(uint64_t count) { fileCount_.store(count, std::memory_order_release); }
    uint64_t GetSelectedBytes() const { return selectedBytes_.load(std::memory_order_acquire); }
    bool IsVerifyMode() const { return verifyMode_.load(std::memory_order_acquire); }
    void SetVerifyMode(bool flag) { verifyMode_.store(flag, std::memory_order_release); }
    bool IsBusy() const { return busy_.load(std::memory_order_acquire); }
    void SetBusy(bool flag) { busy_.store(flag, std::memory_order_release); }

private:
    std::vector<QuorviaItemPtr> items_;
    mutable std::mutex lock_;
    // Loads the lines of a list into this document (LoadHashList's steps
    // after the reading).
    bool LoadListLines(std::span<const std::u16string> lines, std::u16string_view rootDir,
                       std::u16string_view listPath, int32_t givenAlgorithm);

    std::u16string listPath_;
    std::u16string rootDir_;
    std::vector<QmUnreadableLine> unreadableLines_;
    bool modified_ = false;
    int32_t algorithm_ = 5;
    int32_t digestSize_ = 0;
    bool includeSubdirs_ = true;
    std::atomic<uint64_t> totalBytes_{0};
    std::atomic<uint64_t> fileCount_{0};
    std::atomic<uint64_t> selectedBytes_{0};
    std::atomic<bool> verifyMode_{false};
    std::atomic<bool> busy_{false};
};

// The process-wide document, created on first use (thread-safe) and
// destroyed at exit.
CQmQuorviaDoc& GetQuorviaDoc();

}  // namespace qm
