// Installs Qt's Chinese translation once per application.
#include "desktop_qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace qm {

bool LoadQtTranslations() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    // Owned by the application, so it lives exactly as long as the texts it
    // translates can be asked for.
    static QTranslator* installed = nullptr;
    if (installed) return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    translator->setParent(app);
    installed = translator.release();
    QCoreApplication::installTranslator(installed);
    return true;
}

}  // namespace qm
