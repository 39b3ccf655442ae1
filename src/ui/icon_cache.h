// The process-wide file-icon cache.
//
// Every file row of the list view and every path of the new-task dialog shows
// a small icon. Icons are kept once per key: a directory and a file that
// carries its own icon (.exe, .ico, .psd, .icl, .lnk, .pif, .cpl and, here,
// .desktop) are keyed by their whole lower-cased path, every other file by its
// extension alone, so all files of one type share one image.
//
// Threads. The enumeration thread asks for indexes (through the core's icon
// provider) while the user-interface thread asks for them and draws. Qt makes
// pixmaps on the GUI thread only, so GetFileIconIndex only assigns key →
// index, under a lock, and remembers what the key needs; the icon of an index
// is made on the GUI thread the first time GetIcon is asked for it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QIcon>

#include "document/quorvia_item.h"

namespace qm {

class CQmIconCache : public CQmFileIconProvider {
public:
    CQmIconCache();
    ~CQmIconCache() override;

    // The image index for `path`, assigning a new one for a key not seen
    // before; -1 when no index can be given. Thread-safe.
    int32_t GetFileIconIndex(std::u16string_view path) override;
    // The number of indexes handed out. Thread-safe.
    int32_t GetIconCount() const;
    // The icon of `index` (GUI thread only); a null icon for an index that was
    // never handed out. A missing icon theme falls back to the generic file
    // and folder icons, so no handed-out index is ever without an image.
    QIcon GetIcon(int32_t index);

private:
    struct Entry;
    mutable std::mutex lock_;
    std::unordered_map<std::u16string, int32_t> indexOfKey_;
    std::vector<Entry> entries_;  // guarded by lock_
    std::vector<QIcon> icons_;    // GUI thread only; made lazily
};

// The process-wide cache, created on first use.
CQmIconCache& GetIconCache();
// Start-up: creates the cache and installs it as the document items' icon
// provider (SetFileIconProvider).
void CreateIconList();
// The shared icon list (the cache itself) and the number of its images.
CQmIconCache& GetIconList();
int32_t GetIconCount();
// The cache's index for `path`.
int32_t GetFileIconIndex(std::u16string_view path);

}  // namespace qm
