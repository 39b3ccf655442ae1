// The process-wide file-icon cache.
//
// Every file row of the list view and every path of the new-task dialog shows
// a small icon. Icons are kept once per key: a directory and a file that
// carries its own icon (.exe, .ico, .psd, .icl, .lnk, .pif, .cpl and, here,
// .desktop, which names its icon) are keyed by their whole lower-cased path,
// every other file by its lower-cased extension alone, so all files of one
// type share one image.
//
// Threads. The enumeration thread asks for indexes (through the document
// items' icon provider) while the user-interface thread asks for them and
// draws. Qt makes pixmaps on the GUI thread only, so handing out an index only
// records, under a lock, what the key's icon is to be made from; the icon of
// an index is made on the GUI thread the first time GetIcon asks for it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QIcon>

namespace qm {

class CQmIconCache {
public:
    CQmIconCache();
    ~CQmIconCache();
    CQmIconCache(const CQmIconCache&) = delete;
    CQmIconCache& operator=(const CQmIconCache&) = delete;

    // The image index for `path`, assigning a new one for a key not seen
    // before. Asks the file system whether the path is a directory.
    // Thread-safe.
    int32_t GetFileIconIndex(std::u16string_view path);
    // The same for a path known to name a file (the entries of a hash list
    // are files): no file-system query. Thread-safe.
    int32_t GetIconIndexForFile(std::u16string_view path);
    // The number of indexes handed out. Thread-safe.
    int32_t GetIconCount() const;
    // The icon of `index` (GUI thread only); a null icon for an index that
    // was never handed out. Without an icon theme the style's generic file and
    // folder icons stand in, so a handed-out index always has an image.
    QIcon GetIcon(int32_t index);

private:
    enum class Source : uint8_t {
        Folder,      // a directory
        FileType,    // files of one extension: the MIME type's icon
        IconFile,    // an .ico file: its own image
        DesktopFile, // a .desktop file: the icon its Icon entry names
        OwnFile,     // a program or link file: its type's icon, one image per file
    };
    struct Entry {
        Source source;
        std::u16string path;  // the file or directory; for FileType a name with the extension
    };

    int32_t Lookup(std::u16string_view path, bool isDirectory);
    QIcon MakeIcon(const Entry& entry) const;

    mutable std::mutex lock_;
    std::unordered_map<std::u16string, int32_t> indexOfKey_;  // guarded by lock_
    std::vector<Entry> entries_;                              // guarded by lock_
    std::vector<QIcon> icons_;                                // GUI thread only
};

// The process-wide cache, created on first use.
CQmIconCache& GetIconCache();
// Start-up: creates the cache and installs it as the document items' icon
// provider, so items made by the enumeration get their index.
void CreateIconList();
// Removes the provider again (before the cache may go away at exit).
void DestroyIconList();
// The shared icon list (the cache itself) and the number of its images.
CQmIconCache& GetIconList();
int32_t GetIconCount();
// The cache's index for `path` (a file or a directory).
int32_t GetFileIconIndex(std::u16string_view path);

}  // namespace qm
