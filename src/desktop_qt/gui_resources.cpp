// The compiled-in images and the choice between theme and bundled icons.
#include "desktop_qt/gui_resources.h"

#include <QImageReader>
#include <QString>

#include <array>
#include <initializer_list>
#include <mutex>

// Q_INIT_RESOURCE declares the registration function in the enclosing
// namespace, so it has to be called from the global one.
static void RegisterQuorviaResources() { Q_INIT_RESOURCE(quorvia); }

namespace qm {

namespace {

struct ToolbarImage {
    const char* file;  // base name under :/quorvia/toolbar/
    // Theme names to try, best first: the freedesktop name, then names that
    // common themes use for the same action where the standard has none.
    std::initializer_list<const char*> themeNames;
};

const std::array<ToolbarImage, QM_TBIMG_COUNT> kToolbarImages = {{
    {"new", {"document-new"}},
    {"open", {"document-open"}},
    {"save", {"document-save"}},
    {"relocate", {"folder-move", "go-jump"}},
    {"verify", {"dialog-ok-apply", "emblem-default", "dialog-ok"}},
    {"stop", {"process-stop"}},
    {"find", {"edit-find"}},
    {"about", {"help-about"}},
}};

constexpr std::array<int, 7> kAppIconSizes = {16, 24, 32, 48, 64, 128, 256};

}  // namespace

void InitGuiResources() {
    static std::once_flag once;
    std::call_once(once, RegisterQuorviaResources);
}

QIcon AppIcon() {
    InitGuiResources();
    QIcon icon;
    for (int size : kAppIconSizes) {
        icon.addFile(QStringLiteral(":/quorvia/icons/quorvia-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon BundledToolbarIcon(int imageIndex) {
    if (imageIndex < 0 || imageIndex >= QM_TBIMG_COUNT) return QIcon();
    InitGuiResources();
    const QString base = QStringLiteral(":/quorvia/toolbar/") + QLatin1String(kToolbarImages[imageIndex].file);
    // The SVG stays sharp at every scale; the pre-rendered PNGs stand in
    // where Qt's SVG plugin is not installed.
    static const bool svgReadable = QImageReader::supportedImageFormats().contains("svg");
    if (svgReadable) return QIcon(base + QStringLiteral(".svg"));
    QIcon icon;
    icon.addFile(base + QStringLiteral("-16.png"), QSize(16, 16));
    icon.addFile(base + QStringLiteral("-32.png"), QSize(32, 32));
    return icon;
}

QIcon ToolbarIcon(int imageIndex) {
    if (imageIndex < 0 || imageIndex >= QM_TBIMG_COUNT) return QIcon();
    for (const char* name : kToolbarImages[imageIndex].themeNames) {
        const QString themeName = QLatin1String(name);
        if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
    }
    return BundledToolbarIcon(imageIndex);
}

}  // namespace qm
