// The Windows program's file-icon cache (see icon_cache.h).
#include "desktop_win32/icon_cache.h"

#include <shellapi.h>

#include <array>

#include "common/path_util.h"
#include "desktop_win32/window.h"

namespace qm::win32 {

namespace {

constexpr std::array<std::u16string_view, 7> kOwnIconExtensions = {
    u".exe", u".ico", u".psd", u".icl", u".lnk", u".pif", u".cpl",
};

std::u16string LowerKey(std::u16string_view text) {
    std::u16string key(text);
    // The system's own lower-casing, as it compares names.
    if (!key.empty()) CharLowerBuffW(reinterpret_cast<wchar_t*>(key.data()), static_cast<DWORD>(key.size()));
    return key;
}

HICON ShellIcon(const std::u16string& path, DWORD attributes, UINT flags) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(Wide(path), attributes, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON | flags)) {
        return nullptr;
    }
    return info.hIcon;
}

}  // namespace

CQmWin32IconCache::CQmWin32IconCache()
    : images_(ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK,
                               0, 5)) {}

int32_t CQmWin32IconCache::GetFileIconIndex(std::u16string_view path) {
    const bool isDirectory = PathIsDirectory(path);
    const std::u16string lower = LowerKey(path);
    std::u16string key;
    bool ownIcon = isDirectory;
    if (isDirectory) {
        key = lower;
    } else {
        const std::u16string_view name = PathFindFileName(lower);
        const size_t dot = name.rfind(u'.');
        const std::u16string_view extension = dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot);
        for (std::u16string_view candidate : kOwnIconExtensions) ownIcon |= extension == candidate;
        key = ownIcon ? lower : std::u16string(extension);
    }
    std::lock_guard guard(lock_);
    const auto [found, added] = indexOfKey_.try_emplace(key, static_cast<int32_t>(entries_.size()));
    if (added) entries_.push_back({std::u16string(path), isDirectory, ownIcon});
    return found->second;
}

int32_t CQmWin32IconCache::GetIconCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int32_t>(entries_.size());
}

HICON CQmWin32IconCache::MakeIcon(const Entry& entry) const {
    HICON icon = nullptr;
    if (entry.isDirectory) {
        icon = ShellIcon(entry.path, 0, 0);
    } else if (entry.ownIcon) {
        ExtractIconExW(Wide(entry.path), 0, nullptr, &icon, 1);
    }
    if (!icon) {
        // The type's icon by its name alone.
        const std::u16string name = entry.isDirectory ? entry.path : std::u16string(PathFindFileName(entry.path));
        icon = ShellIcon(name, entry.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
                         SHGFI_USEFILEATTRIBUTES);
    }
    return icon;
}

void CQmWin32IconCache::Realize() {
    std::vector<Entry> pending;
    {
        std::lock_guard guard(lock_);
        pending.assign(entries_.begin() + realized_, entries_.end());
    }
    for (const Entry& entry : pending) {
        const UniqueIcon icon(MakeIcon(entry));
        // An index handed out always gets an image: the system's generic one
        // (shared, not ours to destroy) where the shell had none, so no row
        // is blank; and where even that cannot go in, an empty image keeps
        // the later indexes where they were promised.
        const HICON image = icon ? icon.Get() : LoadIconW(nullptr, IDI_APPLICATION);
        if (ImageList_ReplaceIcon(images_.Get(), -1, image) < 0) {
            ImageList_SetImageCount(images_.Get(), static_cast<UINT>(realized_ + 1));
        }
        ++realized_;
    }
}

CQmWin32IconCache& GetIconCache() {
    static CQmWin32IconCache cache;
    return cache;
}

void CreateIconList() { SetFileIconProvider(&GetIconCache()); }

void DestroyIconList() { SetFileIconProvider(nullptr); }

}  // namespace qm::win32
