#include "pipeline/enum_thread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <numeric>
#include <vector>

#include "common/error_record.h"
#include "common/os/directory.h"
#include "common/os/error_codes.h"
#include "common/os/path_rules.h"
#include "common/utf.h"
#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "document/row_sort_keys.h"

namespace qm {

namespace {

using Batch = std::vector<QuorviaItemPtr>;

std::u16string JoinName(const std::u16string& dir, std::u16string_view name) {
    std::u16string path;
    path.reserve(dir.size() + 1 + name.size());
    path = dir;
    if (path.empty() || !os::IsPathSeparator(path.back())) path += os::kPathSeparator;
    path += name;
    return path;
}

}  // namespace

CQmEnumFileThread::CQmEnumFileThread() = default;
CQmEnumFileThread::~CQmEnumFileThread() = default;

void CQmEnumFileThread::AddPendingPath(std::u16string path, bool isDirectory) {
    pending_.push_back({std::move(path), isDirectory, nullptr, nullptr});
}

uint32_t CQmEnumFileThread::Execute() {
    CQmQuorviaDoc& document = GetQuorviaDoc();
    const bool recurse = document.GetIncludeSubdirs();
    rootDir_ = document.GetRootDir();
    share_ = std::make_unique<CQmWorkShare>(helpers_);
    Batch batch;
    totalBytes_ = 0;
    fileCount_ = 0;

    while (!pending_.empty() && !IsStopRequested()) {
        const PendingEntry& entry = pending_.front();
        if (entry.isDirectory) {
            ListDirectory(entry, recurse, batch);
        } else if (QuorviaItemPtr item = CQmQuorviaItem::CreateItem(entry.path, kUnknownFileSize, 0)) {
            // An input file: size and time from its attributes; one that has
            // vanished still becomes an item, carrying the reason.
            AddFile(std::move(item), batch);
        }
        // The entry being listed when a stop came is appended with what was
        // found up to then, so the totals cover exactly the items listed.
        document.AppendItems(batch);
        batch.clear();
        pending_.pop_front();
    }

    share_.reset();
    document.SetTotalBytes(totalBytes_);
    document.SetFileCount(fileCount_);
    return IsStopRequested() ? 1 : 0;
}

void CQmEnumFileThread::AddFile(QuorviaItemPtr item, Batch& batch) {
    totalBytes_ += item->GetLength();
    ++fileCount_;
    // A name that has no UTF-8 form (bytes that are not UTF-8 on Linux, an
    // unpaired surrogate on Windows) below the task's folder would go into a
    // saved list under another name, one that names another file or none.
    // Such a file fails here, with the reason, and is never hashed, so no
    // list records it. A folder above the task's own may be named anyhow:
    // lists hold the names below it.
    std::u16string_view below = item->GetPath();
    if (!rootDir_.empty() && below.substr(0, rootDir_.size()) == rootDir_) below.remove_prefix(rootDir_.size());
    if (HasUnpairedSurrogate(below)) {
        item->SetError(kUnwritableNameText);
        item->SetProcessed(true);
    }
    batch.push_back(std::move(item));
}

void CQmEnumFileThread::AppendFailedDirectory(const std::u16string& path, std::u16string_view text, Batch& batch) {
    // The folder becomes an entry of its own, so the files it hides are not
    // a silent gap: it is shown and reported like a file that failed. It is
    // marked processed here, so the reader passes it over (it is no file to
    // read), and it never gets a digest, so no list records it.
    QuorviaItemPtr item = CQmQuorviaItem::CreateItem(path, 0, 0);
    if (!item) return;
    item->SetError(text);
    item->SetProcessed(true);
    ++fileCount_;
    batch.push_back(std::move(item));
}

// One directory's listing, made by the enumeration thread itself or ahead
// of it by a helper. Whoever moves `state` from kNotStarted lists it; the
// enumeration waits for a helper that did.
struct CQmEnumFileThread::Listed {
    static constexpr int kNotStarted = 0, kListing = 1, kDone = 2;
    std::atomic<int> state{kNotStarted};
    std::mutex lock;
    std::condition_variable done;

    bool opened = false;
    uint32_t openError = 0;
    os::FileIdentity self;
    std::vector<os::DirectoryEntry> found;  // in name order
    uint32_t readError = 0;

    bool Claim() {
        int expected = kNotStarted;
        return state.compare_exchange_strong(expected, kListing, std::memory_order_acq_rel);
    }
    void Publish() {
        {
            std::lock_guard guard(lock);
            state.store(kDone, std::memory_order_release);
        }
        done.notify_all();
    }
    bool IsDone() const { return state.load(std::memory_order_acquire) == kDone; }
    void Wait() {
        std::unique_lock guard(lock);
        done.wait(guard, [this] { return IsDone(); });
    }
};

bool CQmEnumFileThread::ListIfUnclaimed(const std::u16string& path, Listed& listed, CQmWorkShare* share) const {
    if (!listed.Claim()) return false;
    ListInto(path, listed, share);
    listed.Publish();
    return true;
}

void CQmEnumFileThread::ListInto(const std::u16string& path, Listed& listed, CQmWorkShare* share) const {
    os::DirectoryListing listing;
    if (!listing.Open(path)) {
        listed.openError = os::LastErrorCode();
        return;
    }
    listed.opened = true;
    listed.self = listing.Identity();

    std::vector<os::DirectoryEntry> found;
    os::DirectoryEntry next;
    size_t deferred = 0;
    while (listing.Next(next, true)) {
        if (next.deferred) ++deferred;
        found.push_back(std::move(next));
        if (IsStopRequested()) return;
    }
    listed.readError = listing.ErrorCode();
    if (deferred != 0) {
        // The sizes and times the listing left out: one query per file is
        // most of an enumeration's time, so a large directory's are shared.
        const auto complete = [&](size_t i) {
            if (!IsStopRequested()) listing.Complete(found[i]);
        };
        // Below a few hundred files a directory is one thread's piece of
        // work: sharing it out costs a hand-off and a wait for the slowest
        // helper every time, and each wake-up may draw the two threads onto
        // one core for milliseconds (20,000 files in folders of 100 took 20
        // to 36 ms shared, mostly 20 ms not). The helpers have other folders
        // to list meanwhile.
        constexpr size_t kSharedFrom = 256;
        if (share && found.size() >= kSharedFrom) {
            share->ForEach(found.size(), complete);
        } else {
            for (size_t i = 0; i < found.size(); ++i) complete(i);
        }
        if (IsStopRequested()) return;
    }

    // The entries are put in name order: the system lists them in the file
    // system's own order, which would scatter a tree's folders and files in
    // the list and in every saved list. Keys made once per name, into one
    // buffer, and an index sorted: collating each pair anew, or a key
    // allocation per name, would cost more than the listing itself in a
    // directory of many files.
    CQmRowSortKeys keys;
    keys.Reserve(found.size());
    for (const os::DirectoryEntry& f : found) keys.Add(f.name);
    std::vector<uint32_t> order(found.size());
    std::iota(order.begin(), order.end(), uint32_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](uint32_t a, uint32_t b) { return keys.Compare(a, b) < 0; });
    listed.found.reserve(found.size());
    for (const uint32_t index : order) {
        listed.found.push_back(std::move(found[index]));
        listed.found.back().systemName = std::string();
    }
}

void CQmEnumFileThread::ListDirectory(const PendingEntry& entry, bool recurse, Batch& batch) {
    // A directory queued with a helper may be listed already, or being
    // listed; otherwise this thread lists it now.
    Listed own;
    Listed* listed = entry.listed ? entry.listed.get() : &own;
    if (!ListIfUnclaimed(entry.path, *listed, share_.get())) {
        // While a helper lists this one, this thread lists the next that
        // nobody has started, rather than wait idle.
        for (size_t i = 1; i < pending_.size() && !listed->IsDone() && !IsStopRequested(); ++i) {
            const PendingEntry& later = pending_[i];
            if (later.listed) ListIfUnclaimed(later.path, *later.listed, share_.get());
        }
        listed->Wait();
    }
    if (IsStopRequested()) return;

    if (!listed->opened) {
        AppendFailedDirectory(entry.path, SetLastErrorText(listed->openError, u"打开目录失败"), batch);
        return;
    }
    for (const Ancestor* above = entry.ancestors.get(); above; above = above->parent.get()) {
        if (above->identity == listed->self) return;  // a link back up
    }

    std::shared_ptr<const Ancestor> here;
    for (const os::DirectoryEntry& f : listed->found) {
        if (f.isDirectory) {
            if (recurse) {
                if (!here) here = std::make_shared<const Ancestor>(Ancestor{listed->self, entry.ancestors});
                QueueDirectory(JoinName(entry.path, f.name), here);
            }
        } else if (QuorviaItemPtr item = CQmQuorviaItem::CreateItem(JoinName(entry.path, f.name),
                                                                    f.known ? f.size : kUnknownFileSize,
                                                                    f.known ? f.lastWriteTime : 0)) {
            // A dangling link or an entry gone since the listing still
            // becomes an item; CreateItem records why it has no size.
            AddFile(std::move(item), batch);
        }
        if (IsStopRequested()) return;
    }
    // A listing that broke off part way would leave the rest of the folder
    // out without a word.
    if (listed->readError != 0)
        AppendFailedDirectory(entry.path, SetLastErrorText(listed->readError, u"读取目录失败"), batch);
}

void CQmEnumFileThread::QueueDirectory(std::u16string path, std::shared_ptr<const Ancestor> ancestors) {
    std::shared_ptr<Listed> listed;
    if (helpers_ != 0) {
        // A helper lists it while this thread is busy with the directories
        // before it; the items still come in the same order.
        listed = std::make_shared<Listed>();
        share_->Post([this, listed, path] { ListIfUnclaimed(path, *listed, nullptr); });
    }
    pending_.push_back({std::move(path), true, std::move(ancestors), std::move(listed)});
}

}  // namespace qm
