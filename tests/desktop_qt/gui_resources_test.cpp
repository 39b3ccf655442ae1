// The compiled-in images: that the resources are linked and registered, that
// every toolbar button has a drawable image with or without a desktop theme,
// and which theme names the toolbar asks for.
#include "desktop_qt/gui_resources.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSettings>
#include <QStringList>

#include <filesystem>
#include <set>

#include "support/temp_dir.h"

namespace qm {
namespace {

// True when the image has at least one pixel that is not fully transparent.
bool HasInk(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) != 0) return true;
        }
    }
    return false;
}

// Switches the icon theme for one test and back.
class ThemeScope {
public:
    ThemeScope(const QStringList& searchPaths, const QString& name)
        : oldPaths_(QIcon::themeSearchPaths()), oldName_(QIcon::themeName()) {
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(name);
    }
    ~ThemeScope() {
        QIcon::setThemeSearchPaths(oldPaths_);
        QIcon::setThemeName(oldName_);
    }

private:
    QStringList oldPaths_;
    QString oldName_;
};

// A theme of our own that holds `names` as 16-pixel action icons.
void WriteTheme(const test::TempDir& dir, const QString& theme, const QStringList& names) {
    const QString root = QString::fromStdString((dir / theme.toStdString()).string());
    std::filesystem::create_directories((root + QStringLiteral("/16x16/actions")).toStdString());
    QFile index(root + QStringLiteral("/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Test\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nContext=Actions\nType=Fixed\n");
    index.close();
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    for (const QString& name : names) {
        ASSERT_TRUE(image.save(root + QStringLiteral("/16x16/actions/") + name + QStringLiteral(".png")));
    }
}

TEST(GuiResourcesTest, AppIconHasEveryBundledSize) {
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        const QPixmap pixmap = icon.pixmap(size, size);
        EXPECT_EQ(pixmap.size(), QSize(size, size)) << size;
        EXPECT_TRUE(HasInk(pixmap.toImage())) << size;
    }
}

TEST(GuiResourcesTest, WithoutAThemeEveryButtonShowsItsOwnBundledImage) {
    test::TempDir empty;
    ThemeScope scope({QString::fromStdString(empty.path().string())}, QStringLiteral("quorvia-no-theme"));
    std::set<QByteArray> distinct;
    for (int i = 0; i < QM_TBIMG_COUNT; ++i) {
        const QIcon icon = ToolbarIcon(i);
        ASSERT_FALSE(icon.isNull()) << i;
        const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(16, 16)) << i;
        EXPECT_TRUE(HasInk(image)) << i;
        distinct.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    // Eight different pictures: no button borrows another's image.
    EXPECT_EQ(distinct.size(), static_cast<size_t>(QM_TBIMG_COUNT));

    EXPECT_TRUE(ToolbarIcon(-1).isNull());
    EXPECT_TRUE(ToolbarIcon(QM_TBIMG_COUNT).isNull());
    EXPECT_TRUE(BundledToolbarIcon(QM_TBIMG_COUNT).isNull());
}

TEST(GuiResourcesTest, ThemeIconsComeFirstWithTheFallbackNamesInOrder) {
    test::TempDir dir;
    // The theme has the standard names, none for relocation but the second
    // choice, and for verification only the last one.
    WriteTheme(dir, QStringLiteral("qmtest"),
               {QStringLiteral("document-new"), QStringLiteral("document-open"), QStringLiteral("document-save"),
                QStringLiteral("go-jump"), QStringLiteral("dialog-ok"), QStringLiteral("process-stop"),
                QStringLiteral("edit-find")});
    ThemeScope scope({QString::fromStdString(dir.path().string())}, QStringLiteral("qmtest"));

    EXPECT_EQ(ToolbarIcon(QM_TBIMG_NEW).name(), QStringLiteral("document-new"));
    EXPECT_EQ(ToolbarIcon(QM_TBIMG_OPEN).name(), QStringLiteral("document-open"));
    EXPECT_EQ(ToolbarIcon(QM_TBIMG_SAVE).name(), QStringLiteral("document-save"));
    EXPECT_EQ(ToolbarIcon(QM_TBIMG_RELOCATE).name(), QStringLiteral("go-jump"));
    EXPECT_EQ(ToolbarIcon(QM_TBIMG_VERIFY_ALL).name(), QStringLiteral("dialog-ok"));
    EXPECT_EQ(ToolbarIcon(QM_TBIMG_STOP).name(), QStringLiteral("process-stop"));
    EXPECT_EQ(ToolbarIcon(QM_TBIMG_FIND).name(), QStringLiteral("edit-find"));
    // help-about is missing from this theme: our own image, not a blank one.
    const QIcon about = ToolbarIcon(QM_TBIMG_ABOUT);
    EXPECT_TRUE(about.name().isEmpty());
    EXPECT_TRUE(HasInk(about.pixmap(16, 16).toImage()));
    // The theme's picture is the one drawn.
    const QImage themed = ToolbarIcon(QM_TBIMG_NEW).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(themed.pixel(8, 8), QColor(Qt::red).rgba());
}

TEST(GuiResourcesTest, DesktopEntryIsNamedAfterTheLauncherId) {
    // The launcher progress names the program "application://<id>.desktop";
    // the desktop matches that against the file's name.
    const QString file = QStringLiteral(QM_TEST_SOURCE_DIR "/../res/linux/") + QString::fromUtf16(kDesktopFileId) +
                         QStringLiteral(".desktop");
    ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
    QSettings entry(file, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
    EXPECT_EQ(entry.value(QStringLiteral("Icon")).toString(), QString::fromUtf16(kDesktopFileId));
    EXPECT_EQ(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("quorvia %F"));
    EXPECT_EQ(entry.value(QStringLiteral("Name")).toString(), QStringLiteral("栎弦文件校验工具"));
}

}  // namespace
}  // namespace qm
