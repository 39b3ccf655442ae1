// The file-icon cache: key → index under a lock, icons made on the GUI thread.
#include "desktop_qt/icon_cache.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStyle>
#include <QTextStream>

#include <array>

#include "common/path_util.h"
#include "document/quorvia_item.h"

namespace qm {

namespace {

// Extensions of files that carry or name an icon of their own: each such file
// gets an image of its own instead of its type's.
constexpr std::array<std::u16string_view, 8> kOwnIconExtensions = {
    u".exe", u".ico", u".psd", u".icl", u".lnk", u".pif", u".cpl", u".desktop",
};

// Lower case for the key. QChar's case mapping is a pure table lookup, safe
// on any thread; letters outside the basic plane are left as they are.
std::u16string LowerKey(std::u16string_view text) {
    std::u16string key(text);
    for (char16_t& c : key) c = QChar::toLower(c);
    return key;
}

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

QIcon StyleIcon(QStyle::StandardPixmap which) {
    QStyle* style = QApplication::style();
    return style ? style->standardIcon(which) : QIcon();
}

QIcon ThemeIcon(const QString& name) {
    if (name.isEmpty()) return QIcon();
    return QIcon::fromTheme(name);
}

QIcon FileTypeIcon(const QString& fileName) {
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon icon = ThemeIcon(type.iconName());
    if (icon.isNull()) icon = ThemeIcon(type.genericIconName());
    return icon;
}

// The value of the Icon key in the [Desktop Entry] group of a .desktop file;
// empty when the file cannot be read or has none.
QString DesktopEntryIconName(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
    QTextStream in(&file);
    bool inEntryGroup = false;
    // A desktop file is a handful of lines; the bound keeps a huge file that
    // merely ends in .desktop from being read whole on the GUI thread.
    for (int lines = 0; lines < 1000 && !in.atEnd(); ++lines) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            inEntryGroup = line == QLatin1String("[Desktop Entry]");
        } else if (inEntryGroup && line.startsWith(QLatin1String("Icon"))) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0 && line.left(eq).trimmed() == QLatin1String("Icon")) return line.mid(eq + 1).trimmed();
        }
    }
    return QString();
}

class ItemIconProvider : public CQmFileIconProvider {
public:
    explicit ItemIconProvider(CQmIconCache& cache) : cache_(cache) {}
    int32_t GetFileIconIndex(std::u16string_view path) override { return cache_.GetIconIndexForFile(path); }

private:
    CQmIconCache& cache_;
};

std::unique_ptr<ItemIconProvider> g_itemProvider;

}  // namespace

CQmIconCache::CQmIconCache() = default;
CQmIconCache::~CQmIconCache() = default;

int32_t CQmIconCache::GetFileIconIndex(std::u16string_view path) { return Lookup(path, PathIsDirectory(path)); }

int32_t CQmIconCache::GetIconIndexForFile(std::u16string_view path) { return Lookup(path, false); }

int32_t CQmIconCache::Lookup(std::u16string_view path, bool isDirectory) {
    std::u16string lowerPath = LowerKey(path);
    Entry entry;
    std::u16string key;
    if (isDirectory) {
        entry = {Source::Folder, std::u16string(path)};
        key = std::move(lowerPath);
    } else {
        const std::u16string extension(PathFindExtension(lowerPath));
        Source own = Source::FileType;
        for (std::u16string_view candidate : kOwnIconExtensions) {
            if (extension == candidate) {
                own = candidate == u".ico" ? Source::IconFile
                      : candidate == u".desktop" ? Source::DesktopFile
                                                 : Source::OwnFile;
            }
        }
        if (own == Source::FileType) {
            // Every file of the type shares the key, so the entry keeps only a
            // name with the extension: the type is known from it alone.
            entry = {Source::FileType, u"file" + extension};
            key = extension;
        } else {
            entry = {own, std::u16string(path)};
            key = std::move(lowerPath);
        }
    }
    // A relative directory named ".txt" must not take the key of the .txt
    // type: directory keys carry a mark no path holds.
    if (isDirectory) key.insert(key.begin(), u'\x01');

    std::lock_guard<std::mutex> guard(lock_);
    auto found = indexOfKey_.find(key);
    if (found != indexOfKey_.end()) return found->second;
    const auto index = static_cast<int32_t>(entries_.size());
    entries_.push_back(std::move(entry));
    indexOfKey_.emplace(std::move(key), index);
    return index;
}

int32_t CQmIconCache::GetIconCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int32_t>(entries_.size());
}

QIcon CQmIconCache::GetIcon(int32_t index) {
    if (index < 0) return QIcon();
    if (static_cast<size_t>(index) < icons_.size() && !icons_[static_cast<size_t>(index)].isNull()) {
        return icons_[static_cast<size_t>(index)];
    }
    Entry entry;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (static_cast<size_t>(index) >= entries_.size()) return QIcon();
        entry = entries_[static_cast<size_t>(index)];
    }
    if (icons_.size() <= static_cast<size_t>(index)) icons_.resize(static_cast<size_t>(index) + 1);
    QIcon icon = MakeIcon(entry);
    icons_[static_cast<size_t>(index)] = icon;
    return icon;
}

QIcon CQmIconCache::MakeIcon(const Entry& entry) const {
    const QString path = ToQString(entry.path);
    QIcon icon;
    switch (entry.source) {
    case Source::Folder:
        icon = ThemeIcon(QStringLiteral("folder"));
        if (icon.isNull()) icon = StyleIcon(QStyle::SP_DirIcon);
        return icon;
    case Source::IconFile:
        icon = QIcon(path);
        if (icon.availableSizes().isEmpty()) icon = QIcon();
        break;
    case Source::DesktopFile: {
        const QString name = DesktopEntryIconName(path);
        if (!name.isEmpty()) icon = QFileInfo(name).isAbsolute() ? QIcon(name) : ThemeIcon(name);
        if (!icon.isNull() && icon.availableSizes().isEmpty() && QFileInfo(name).isAbsolute()) icon = QIcon();
        break;
    }
    case Source::FileType:
    case Source::OwnFile:
        break;
    }
    if (icon.isNull()) icon = FileTypeIcon(QFileInfo(path).fileName());
    if (icon.isNull()) icon = StyleIcon(QStyle::SP_FileIcon);
    return icon;
}

CQmIconCache& GetIconCache() {
    static CQmIconCache cache;
    return cache;
}

void CreateIconList() {
    if (g_itemProvider) return;
    g_itemProvider = std::make_unique<ItemIconProvider>(GetIconCache());
    SetFileIconProvider(g_itemProvider.get());
}

void DestroyIconList() {
    SetFileIconProvider(nullptr);
    g_itemProvider.reset();
}

CQmIconCache& GetIconList() { return GetIconCache(); }

int32_t GetIconCount() { return GetIconCache().GetIconCount(); }

int32_t GetFileIconIndex(std::u16string_view path) { return GetIconCache().GetFileIconIndex(path); }

}  // namespace qm
