// The process-wide file-icon cache of the Windows program: one image list
// of small icons shared by the file list and the new-task dialog.
//
// Icons are kept once per key: a directory and a file that carries its own
// icon (.exe, .ico, .psd, .icl, .lnk, .pif, .cpl) are keyed by their whole
// lower-cased path, every other file by its lower-cased extension alone, so
// all files of one type share one image.
//
// Threads. The enumeration thread asks for indexes (through the document
// items' icon provider) while the user-interface thread asks for them and
// draws. The shell's icon calls want COM, which only the user-interface
// thread has, so handing out an index only records, under the lock, what
// the key's icon is to be made from; Realize, on the user-interface thread,
// makes the icons of every index handed out so far, in order, before the
// list is drawn.
#pragma once

#include "desktop_win32/win32_api.h"
#include <commctrl.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop_win32/win32_handles.h"
#include "document/quorvia_item.h"

namespace qm::win32 {

class CQmWin32IconCache : public CQmFileIconProvider {
public:
    CQmWin32IconCache();
    // The index for `path` (a file or a directory), handing out a new one for
    // a key not seen before. Thread-safe.
    int32_t GetFileIconIndex(std::u16string_view path) override;
    // The number of indexes handed out. Thread-safe.
    int32_t GetIconCount() const;
    // Makes the icons of the indexes handed out since the last call (user-
    // interface thread); every index handed out then has an image.
    void Realize();
    HIMAGELIST GetImageList() const { return images_.Get(); }

private:
    struct Entry {
        std::u16string path;  // the file or directory, or for a type a name with its extension
        bool isDirectory;
        bool ownIcon;  // keyed by its whole path
    };
    HICON MakeIcon(const Entry& entry) const;

    UniqueImageList images_;
    mutable std::mutex lock_;
    std::unordered_map<std::u16string, int32_t> indexOfKey_;  // guarded by lock_
    std::vector<Entry> entries_;                              // guarded by lock_
    int32_t realized_ = 0;                                    // user-interface thread only
};

// The process-wide cache, created on first use.
CQmWin32IconCache& GetIconCache();
// Start-up: creates the cache and installs it as the document items' icon
// provider, so items made by the enumeration get their index.
void CreateIconList();
// Removes the provider again (before the process ends).
void DestroyIconList();

}  // namespace qm::win32
