// Loads installed icon images the way a Qt desktop would and checks them:
//   icon_check FILE...
// A PNG under ".../NxN/apps/" must decode to exactly N×N pixels; an SVG must
// load through Qt's image plugins and draw something at 256×256. Every image
// must have a visible pixel. Prints one line per file and exits 1 if any
// file fails.
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QString>

#include <cstdio>

namespace {

bool HasInk(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) != 0) return true;
        }
    }
    return false;
}

// The reason `path` is not a good icon image, or an empty string.
QString Check(const QString& path) {
    QImageReader reader(path);
    const bool svg = path.endsWith(QStringLiteral(".svg"));
    if (svg) reader.setScaledSize(QSize(256, 256));
    const QImage image = reader.read();
    if (image.isNull()) return QStringLiteral("does not load: ") + reader.errorString();
    if (!svg) {
        static const QRegularExpression sizeDir(QStringLiteral("/(\\d+)x(\\d+)/apps/[^/]+$"));
        const QRegularExpressionMatch match = sizeDir.match(path);
        if (!match.hasMatch()) return QStringLiteral("not in an NxN directory");
        const QSize expected(match.captured(1).toInt(), match.captured(2).toInt());
        if (image.size() != expected) {
            return QStringLiteral("is %1x%2, its directory says %3x%4")
                .arg(image.width())
                .arg(image.height())
                .arg(expected.width())
                .arg(expected.height());
        }
    }
    if (!HasInk(image)) return QStringLiteral("is fully transparent");
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: icon_check FILE...\n");
        return 2;
    }
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const QString reason = Check(path);
        if (reason.isEmpty()) {
            std::printf("ok: %s\n", argv[i]);
        } else {
            std::printf("FAIL: %s %s\n", argv[i], reason.toUtf8().constData());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
