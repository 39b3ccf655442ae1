// The clipboard through Qt.
#include "desktop_qt/clipboard.h"

#include <string>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>

#include "common/error_record.h"

namespace qm {

namespace {
constexpr std::u16string_view kSetFailed = u"设置文本内容到剪贴板失败";
}  // namespace

bool CopyTextToClipboard(std::u16string_view text) {
    // QGuiApplication::clipboard() needs the GUI application object; without
    // it there is no clipboard to put the text on.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        SetErrorText(0, kSetFailed);
        return false;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString wanted = QString::fromStdU16String(std::u16string(text));
    clipboard->setText(wanted);
    // Qt reports no failure of its own: a window system that refuses the
    // ownership leaves the earlier contents, which reading back shows.
    if (clipboard->text() != wanted) {
        SetErrorText(0, kSetFailed);
        return false;
    }
    return true;
}

}  // namespace qm
