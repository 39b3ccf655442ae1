// One byte range of one input (a file or a block device) and what the program
// learned about it: its digest, the last error text and the state flags the
// list polls.
//
// Threads. An object is opened, read and closed by the reader thread, the
// hasher thread stores its digest and marks it processed, and the
// user-interface thread polls the flags and, once it has seen the processed
// flag, reads the texts and the digest. Who writes what during a run:
//
//   field            written by                        read by
//   path             owner, only while no run          anyone
//   file handle      reader (Open / CloseFile)         reader
//   reads-to-end     reader (Open)                     reader
//   error text       reader (Open failure, read        UI, after IsProcessed()
//                    failure, "用户已取消")               returned true
//   digest, has-hash hasher (SetHash)                  UI, after IsProcessed()
//   length           reader (Open, a file read to      UI (display, totals)
//                    its end)
//   updated          reader / hasher set, UI clears    UI
//   reading          reader sets, hasher clears        UI
//   processed        hasher (or the reader's failed    UI
//                    Open) sets, owner clears
//   selected         owner, only while no run          reader
//
// The flags are atomics: every store is a release and every load an acquire,
// so a thread that sees processed == true also sees the error text and the
// digest stored before it (the hasher stores the digest before it sets
// processed; the reader stores the error text before it hands the item's
// end-of-item record to the hasher). The error text itself is a plain string:
// read it only after IsProcessed() returned true, or while no run is active.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/os/file.h"

namespace qm {

// The handle of an open input: a file descriptor, or a Windows HANDLE.
using QmFileHandle = os::FileHandle;
// An invalid handle: what a failed Open returns.
inline const QmFileHandle kInvalidHandle = os::kInvalidFileHandle;

// A start offset or length of all ones passed to SetRange keeps that field.
inline constexpr uint64_t kKeepRangeValue = ~uint64_t{0};

// The size result of a failed size query.
inline constexpr uint64_t kInvalidSize = ~uint64_t{0};

inline constexpr size_t kMaxDigestSize = 64;

// The size of an open input: for a block device the disk manager's size, for
// anything else the file size. All ones on failure, with the text recorded
// ("获取文件大小失败" with the system's description, or the disk manager's).
// `attributes` are those the caller has already taken of the open handle.
uint64_t GetHandleSize(QmFileHandle handle, bool isDevice, const os::FileAttributes& attributes);

// True when `path` names a disk (a block device under /dev/, a Windows device
// path \\.\...); such inputs are called "磁盘" in messages, every other
// input "文件".
using os::IsDevicePath;

class CQmIoObject {
public:
    CQmIoObject() = default;
    explicit CQmIoObject(std::u16string path) : path_(std::move(path)) {}
    CQmIoObject(const CQmIoObject&) = delete;
    CQmIoObject& operator=(const CQmIoObject&) = delete;

    // The four replaceable operations, in their fixed order.

    // Opens the input for sequential reading, settles a length of 0 to "up to
    // the end", checks the range against the input's size and positions the
    // handle at the start offset. Only regular files and disks
    // open: a directory fails with the system's is-a-directory text, any other kind
    // with "打开文件失败:不支持的文件类型。". A whole regular file whose size
    // reads 0 is to be read to its end (ReadsToEnd). Returns the handle, or
    // kInvalidHandle after recording the reason in the calling thread's error
    // record, copying it into the error text and setting updated and
    // processed. An object that is already open returns its handle.
    virtual QmFileHandle Open();
    // Closes the file, empties the path, zeroes the digest, clears processed
    // and sets start and length to 0. has-hash, the error text and the other
    // flags stay.
    virtual void Reset();
    // Stores `size` bytes of `bytes` (zeros when null) as the digest; more
    // than 64 bytes records "设置哈希值失败:缓冲区长度不足。" and fails.
    virtual bool SetHash(const uint8_t* bytes, size_t size, int32_t classId);
    // The 64 digest bytes; the document's digest size says how many count.
    virtual const uint8_t* GetHash() const;

    virtual ~CQmIoObject() = default;

    void CloseFile();
    // The open handle (kInvalidHandle when closed); the reader reads it.
    QmFileHandle GetHandle() const { return fd_.get(); }
    // True after an Open of a whole regular file that reported size 0:
    // such files (those of /proc, some of /sys) may still have content, so
    // the reader reads until the end and settles the length to what it read.
    bool ReadsToEnd() const { return readsToEnd_; }

    const std::u16string& GetPath() const { return path_; }
    const std::u16string& GetError() const { return error_; }
    // An empty text clears the error; the updated flag is set either way.
    void SetError(std::u16string_view text);

    uint64_t GetOffset() const { return offset_.load(std::memory_order_acquire); }
    uint64_t GetLength() const { return length_.load(std::memory_order_acquire); }
    // No path, or a start / length of kKeepRangeValue, keeps that field.
    void SetRange(std::optional<std::u16string_view> path, uint64_t start, uint64_t length);

    bool HasHash() const { return hasHash_.load(std::memory_order_acquire); }
    bool IsUpdated() const { return updated_.load(std::memory_order_acquire); }
    void SetUpdated(bool flag) { updated_.store(flag, std::memory_order_release); }
    bool IsReading() const { return reading_.load(std::memory_order_acquire); }
    void SetReading(bool flag) { reading_.store(flag, std::memory_order_release); }
    bool IsProcessed() const { return processed_.load(std::memory_order_acquire); }
    // Also clears the reading flag (before processed becomes visible).
    void SetProcessed(bool flag);
    bool IsSelected() const { return selected_.load(std::memory_order_acquire); }
    void SetSelected(bool flag) { selected_.store(flag, std::memory_order_release); }

protected:
    // The open of slot 0 with the length to settle given explicitly, so that a
    // derived Open can refresh the length without the field passing through
    // 0 where another thread could see it. `attributes`, when given,
    // receives the open input's attributes (one query serves both).
    QmFileHandle OpenRange(uint64_t length, os::FileAttributes* attributes = nullptr);
    // Copies `size` bytes (zeros when `bytes` is null) into `target` and sets
    // updated; more than 64 bytes records the failure and stores nothing. The
    // has-hash flag is left to the caller.
    bool StoreDigest(std::array<uint8_t, kMaxDigestSize>& target, const uint8_t* bytes, size_t size);
    void SetHasHash(bool flag) { hasHash_.store(flag, std::memory_order_release); }
    void SetLengthValue(uint64_t length) { length_.store(length, std::memory_order_release); }

private:
    std::u16string path_;
    os::UniqueFile fd_;
    bool readsToEnd_ = false;  // reader only, like the handle
    std::u16string error_;
    std::atomic<bool> hasHash_{false};
    std::array<uint8_t, kMaxDigestSize> digest_{};
    std::atomic<uint64_t> offset_{0};
    std::atomic<uint64_t> length_{0};
    std::atomic<bool> updated_{false};
    std::atomic<bool> reading_{false};
    std::atomic<bool> processed_{false};
    std::atomic<bool> selected_{false};
};

}  // namespace qm
