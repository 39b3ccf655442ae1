// The desktop program's start-up and shutdown (see desktop_program.h).
#include "desktop_qt/desktop_program.h"

#include <memory>

#include <QApplication>
#include <QSessionManager>

#include "common/app_info.h"
#include "common/user_prompts.h"
#include "engines/register_engines.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/qt_prompts.h"
#include "desktop_qt/qt_translations.h"

namespace qm {

namespace {

constexpr char16_t kDisplayName[] = u"栎弦文件校验工具";

// Takes the installed prompts back out when the program ends, so nothing
// reaches a prompts object that is gone.
class PromptsInstallation {
public:
    PromptsInstallation() {
        if (GetUserPrompts()) return;
        own_ = std::make_unique<CQmQtPrompts>();
        SetUserPrompts(own_.get());
    }
    ~PromptsInstallation() {
        if (own_) SetUserPrompts(nullptr);
    }
    PromptsInstallation(const PromptsInstallation&) = delete;
    PromptsInstallation& operator=(const PromptsInstallation&) = delete;

private:
    std::unique_ptr<CQmQtPrompts> own_;
};

}  // namespace

int RunDesktopProgram(QApplication& app, std::vector<std::u16string> arguments, QmDesktopHooks hooks) {
    GetAppInfo().SetNames(kDisplayName, u"Quorvia 2.0", nullptr);
    GetAppInfo().SetTitle(kDisplayName);
    QApplication::setApplicationName(QStringLiteral("quorvia"));
    QApplication::setApplicationDisplayName(QString::fromStdU16String(kDisplayName));
    QGuiApplication::setDesktopFileName(QString::fromStdU16String(kDesktopFileId));
    LoadQtTranslations();
    InitGuiResources();
    PromptsInstallation prompts;
    RegisterBuiltInEngines();
    CreateIconList();

    int exitCode = 0;
    {
        hooks.frame.arguments = std::move(arguments);
        CMainFrame frame(std::move(hooks.frame));
        // The window's close, not the last window, ends the loop: a normal
        // close ends the program with exit code 1.
        app.setQuitOnLastWindowClosed(false);
        QObject::connect(&frame, &CMainFrame::closed, &app, [] { QCoreApplication::exit(1); });
        // Logging out asks the same question as closing the window; staying
        // refuses the end of the session.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &frame, [&frame](QSessionManager& manager) {
            if (!manager.allowsInteraction()) return;
            const bool close = frame.QueryClose();
            manager.release();
            if (!close) manager.cancel();
        });
        frame.show();
        if (hooks.started) hooks.started(frame);
        exitCode = app.exec();
        // Leaving this block destroys the window, whose task runner waits
        // for every worker thread still running: the process-wide document
        // and icon cache are destroyed only after the last thread has ended.
    }
    DestroyIconList();
    return exitCode;
}

}  // namespace qm
