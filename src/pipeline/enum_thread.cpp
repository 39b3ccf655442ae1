#include "pipeline/enum_thread.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <vector>

#include "common/formatting.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"

namespace qm {

namespace {

using Batch = std::vector<QuorviaItemPtr>;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::u16string JoinName(const std::u16string& dir, std::u16string_view name) {
    std::u16string path;
    path.reserve(dir.size() + 1 + name.size());
    path = dir;
    if (path.empty() || path.back() != u'/') path += u'/';
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
            totalBytes_ += item->GetLength();
            ++fileCount_;
            batch.push_back(std::move(item));
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

void CQmEnumFileThread::ListDirectory(const PendingEntry& entry, bool recurse, Batch& batch) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(PathToOs(entry.path).c_str()));
    if (!dir) return;
    const int dirFd = ::dirfd(dir.get());
    struct stat self;
    if (::fstat(dirFd, &self) != 0) return;
    for (const Ancestor* above = entry.ancestors.get(); above; above = above->parent.get()) {
        if (above->device == self.st_dev && above->inode == self.st_ino) return;  // a link back up
    }
    std::shared_ptr<const Ancestor> here;

    while (const dirent* found = ::readdir(dir.get())) {
        const std::string_view name(found->d_name);
        if (name != "." && name != "..") {
            struct stat st;
            // Links are followed: a link to a directory is listed as one.
            const bool known = ::fstatat(dirFd, found->d_name, &st, 0) == 0;
            const bool isDirectory = known ? S_ISDIR(st.st_mode) : found->d_type == DT_DIR;
            if (isDirectory) {
                if (recurse) {
                    if (!here) here = std::make_shared<const Ancestor>(Ancestor{self.st_dev, self.st_ino, entry.ancestors});
                    pending_.push_back({JoinName(entry.path, PathFromOs(name)), true, here});
                }
            } else {
                // A dangling link or an entry gone since the listing still
                // becomes an item; CreateItem records why it has no size.
                const uint64_t size = known ? static_cast<uint64_t>(st.st_size) : kUnknownFileSize;
                const uint64_t time = known ? FileTimeFromTimespec(st.st_mtim) : 0;
                if (QuorviaItemPtr item = CQmQuorviaItem::CreateItem(JoinName(entry.path, PathFromOs(name)), size, time)) {
                    totalBytes_ += item->GetLength();
                    ++fileCount_;
                    batch.push_back(std::move(item));
                }
            }
        }
        if (IsStopRequested()) break;
    }
}

}  // namespace qm
