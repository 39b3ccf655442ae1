// The enumeration of a new task: turns the chosen files and directories into
// document items, breadth first.
//
// Each listed directory's files are appended to the process-wide document in
// one batch (one document lock per directory), so the list can show them
// while the enumeration goes on. Symbolic links (and junctions) to
// directories are followed; a directory that is the same directory (device
// and inode, or volume and file index) as one above it on its own path is
// not entered again, so link cycles end. Each directory's
// files and subdirectories are taken in name order (the list's row
// comparison). A directory that cannot be opened or read to its end becomes
// an item of its own carrying the reason, already processed and without a
// digest, so it is reported like a failed file and never saved in a list.
// A file whose name below the task's folder has no UTF-8 form becomes a
// failed item too, so that no list ever names it wrongly. The totals are
// stored in the document once, at the end, also after a stop.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/os/file.h"
#include "pipeline/thread_obj.h"
#include "pipeline/work_share.h"

namespace qm {

class CQmQuorviaItem;

class CQmEnumFileThread : public CQmThreadObj {
public:
    CQmEnumFileThread();
    ~CQmEnumFileThread() override;

    // Adds one input at the end of the pending list; the controller fills
    // the list before Start, in the order the user chose the inputs.
    void AddPendingPath(std::u16string path, bool isDirectory);

    // How many threads besides this one may query the attributes of a large
    // directory's files (0, the default: none).
    void SetHelperCount(uint32_t helpers) { helpers_ = helpers; }

    // Lists the pending inputs. Returns 1 when it was stopped on request, 0
    // when it completed; that becomes lParam of the end message.
    uint32_t Execute() override;

    // The thread's own running totals; read them after Stop.
    uint64_t GetTotalBytes() const { return totalBytes_; }
    uint64_t GetFileCount() const { return fileCount_; }

protected:
    const char* ThreadName() const override { return "qm-enum"; }

private:
    // One directory on the path from an input down to a pending directory.
    struct Ancestor {
        os::FileIdentity identity;
        std::shared_ptr<const Ancestor> parent;
    };
    struct Listed;
    struct PendingEntry {
        std::u16string path;
        bool isDirectory;
        std::shared_ptr<const Ancestor> ancestors;  // directories above it
        std::shared_ptr<Listed> listed;             // null: not queued with a helper
    };

    void ListDirectory(const PendingEntry& entry, bool recurse, std::vector<std::unique_ptr<CQmQuorviaItem>>& batch);
    // Lists `path` into `listed`, on this thread or a helper's; `share`
    // (this thread only) completes the entries on every core.
    void ListInto(const std::u16string& path, Listed& listed, CQmWorkShare* share) const;
    // Lists `path` unless another thread has started on it; false then.
    bool ListIfUnclaimed(const std::u16string& path, Listed& listed, CQmWorkShare* share) const;
    void QueueDirectory(std::u16string path, std::shared_ptr<const Ancestor> ancestors);
    void AddFile(std::unique_ptr<CQmQuorviaItem> item, std::vector<std::unique_ptr<CQmQuorviaItem>>& batch);
    void AppendFailedDirectory(const std::u16string& path, std::u16string_view text,
                               std::vector<std::unique_ptr<CQmQuorviaItem>>& batch);

    std::deque<PendingEntry> pending_;
    std::u16string rootDir_;  // the document's, read once at the start
    uint64_t totalBytes_ = 0;
    uint64_t fileCount_ = 0;
    uint32_t helpers_ = 0;
    std::unique_ptr<CQmWorkShare> share_;  // while Execute runs
};

}  // namespace qm
