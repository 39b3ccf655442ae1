#include "pipeline/enum_thread.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "common/error_record.h"
#include "common/os/directory.h"
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

void CQmEnumFileThread::AddPendingPath(std::u16string path, bool isDirectory) {
    pending_.push_back({std::move(path), isDirectory, nullptr});
}

uint32_t CQmEnumFileThread::Execute() {
    CQmQuorviaDoc& document = GetQuorviaDoc();
    const bool recurse = document.GetIncludeSubdirs();
    rootDir_ = document.GetRootDir();
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

void CQmEnumFileThread::ListDirectory(const PendingEntry& entry, bool recurse, Batch& batch) {
    os::DirectoryListing listing;
    if (!listing.Open(entry.path)) {
        AppendFailedDirectory(entry.path, SetLastErrorText(0, u"打开目录失败"), batch);
        return;
    }
    const os::FileIdentity self = listing.Identity();
    for (const Ancestor* above = entry.ancestors.get(); above; above = above->parent.get()) {
        if (above->identity == self) return;  // a link back up
    }

    // The entries are put in name order before they are queued: the system
    // lists them in the file system's own order, which would scatter a
    // tree's folders and files in the list and in every saved list.
    struct Found {
        std::u16string name;
        bool isDirectory;
        uint64_t size;
        uint64_t time;
    };
    std::vector<Found> found;
    os::DirectoryEntry next;
    while (listing.Next(next)) {
        found.push_back({std::move(next.name), next.isDirectory, next.known ? next.size : kUnknownFileSize,
                         next.known ? next.lastWriteTime : 0});
        if (IsStopRequested()) break;
    }
    const uint32_t readError = listing.ErrorCode();
    // Keys made once per name, into one buffer, and an index sorted rather
    // than the entries moved: collating each pair anew, or a key allocation
    // per name, would cost more than the listing itself in a directory of
    // many files.
    CQmRowSortKeys keys;
    keys.Reserve(found.size());
    for (const Found& f : found) keys.Add(f.name);
    std::vector<uint32_t> order(found.size());
    std::iota(order.begin(), order.end(), uint32_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](uint32_t a, uint32_t b) { return keys.Compare(a, b) < 0; });

    std::shared_ptr<const Ancestor> here;
    for (const uint32_t index : order) {
        const Found& f = found[index];
        if (f.isDirectory) {
            if (recurse) {
                if (!here) here = std::make_shared<const Ancestor>(Ancestor{self, entry.ancestors});
                pending_.push_back({JoinName(entry.path, f.name), true, here});
            }
        } else if (QuorviaItemPtr item = CQmQuorviaItem::CreateItem(JoinName(entry.path, f.name), f.size, f.time)) {
            // A dangling link or an entry gone since the listing still
            // becomes an item; CreateItem records why it has no size.
            AddFile(std::move(item), batch);
        }
        if (IsStopRequested()) return;
    }
    // A listing that broke off part way would leave the rest of the folder
    // out without a word.
    if (readError != 0)
        AppendFailedDirectory(entry.path, SetLastErrorText(readError, u"读取目录失败"), batch);
}

}  // namespace qm
