// Message boxes and file dialogs on Qt widgets.
#include "desktop_qt/qt_prompts.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include "common/path_util.h"

namespace qm {

namespace {

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon IconOf(uint32_t flags) {
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// A pattern as the file dialog matches it: "*.*" means every file here, as
// it does in the lists users know, while the dialog would read it as "names
// with a dot".
QString DialogPattern(QString pattern) {
    pattern = pattern.trimmed();
    return pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
}

}  // namespace

QString ToDisplayText(std::u16string_view text) {
    QString shown = ToQString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

QStringList MakeNameFilters(const std::vector<QmFileFilter>& filters) {
    QStringList names;
    for (const QmFileFilter& filter : filters) {
        QStringList patterns;
        for (const QString& part : ToQString(filter.pattern).split(u';', Qt::SkipEmptyParts)) {
            patterns << DialogPattern(part);
        }
        // The dialog reads the patterns from the last parenthesised group and,
        // with HideNameFilterDetails, shows only what comes before it: our
        // description, exactly as written.
        names << ToQString(filter.description) + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return names;
}

namespace {

// The entry of `filters` that the dialog's filter text `shown` names, from 0;
// -1 when none. With HideNameFilterDetails some Qt versions report the entry
// as shown (its description), others the whole filter; either names it.
int FilterIndexOf(const std::vector<QmFileFilter>& filters, const QStringList& names, const QString& shown) {
    const qsizetype index = names.indexOf(shown);
    if (index >= 0) return static_cast<int>(index);
    for (size_t i = 0; i < filters.size(); ++i) {
        if (ToQString(filters[i].description).simplified() == shown) return static_cast<int>(i);
    }
    return -1;
}

// "txt" for the pattern "*.txt"; empty for several patterns or one with a
// wildcard in its extension ("*.*"), which name no one extension.
QString SingleExtension(std::u16string_view pattern) {
    const QString text = ToQString(pattern).trimmed();
    if (!text.startsWith(QLatin1String("*.")) || text.contains(u';')) return QString();
    const QString extension = text.mid(2);
    if (extension.isEmpty() || extension.contains(u'*') || extension.contains(u'?')) return QString();
    return extension;
}

}  // namespace

void CentreOverOwner(QWidget* dialog, QWidget* owner) {
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const bool ownerShown = owner && owner->isVisible() && !owner->isMinimized();
    // A window never shown nor moved reports a frame one pixel smaller than
    // itself; it is never smaller than the window.
    QRect placed(QPoint(0, 0), dialog->frameGeometry().size().expandedTo(dialog->size()));
    placed.moveCenter(ownerShown ? owner->frameGeometry().center() : area.center());
    if (placed.right() > area.right()) placed.moveRight(area.right());
    if (placed.bottom() > area.bottom()) placed.moveBottom(area.bottom());
    if (placed.left() < area.left()) placed.moveLeft(area.left());
    if (placed.top() < area.top()) placed.moveTop(area.top());
    dialog->move(placed.topLeft());
}

int CQmQtPrompts::MessageBox(const QmMessageBoxRequest& request) {
    QMessageBox box(FromOwner(request.owner));
    box.setWindowTitle(ToQString(request.caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(ToDisplayText(request.text));
    box.setIcon(IconOf(request.flags));
    switch (request.flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return (request.flags & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
}

bool CQmQtPrompts::FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) {
    QWidget* owner = FromOwner(request.owner);
    QFileDialog dialog(owner, ToQString(request.title));
    // Qt's own dialog behaves alike on every desktop and takes our filter
    // texts as they are.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList names = MakeNameFilters(request.filters);
    dialog.setNameFilters(names);
    if (request.filterIndex >= 1 && request.filterIndex <= names.size()) {
        dialog.selectNameFilter(names[request.filterIndex - 1]);
    }
    if (request.mode == QmFileDialogMode::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        if (!request.defaultExtension.empty()) {
            dialog.setDefaultSuffix(ToQString(request.defaultExtension));
        } else {
            // With no one extension for the whole filter, a name typed
            // without one gets the extension of the type chosen in the
            // dialog, as the system's own save dialog does: a list saved as
            // "Quorvia" under "文本文件(*.txt)" becomes Quorvia.txt.
            const auto follow = [&dialog, &request, &names](const QString& shown) {
                const int index = FilterIndexOf(request.filters, names, shown);
                dialog.setDefaultSuffix(index >= 0 ? SingleExtension(request.filters[static_cast<size_t>(index)].pattern)
                                                   : QString());
            };
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
            follow(dialog.selectedNameFilter());
        }
        if (!request.initialPath.empty()) {
            const std::u16string dir = PathRemoveFileSpec(request.initialPath);
            if (!dir.empty()) dialog.setDirectory(ToQString(dir));
            dialog.selectFile(ToQString(PathFindFileName(request.initialPath)));
        }
    }
    dialog.adjustSize();
    CentreOverOwner(&dialog, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    result.paths.clear();
    for (const QString& file : dialog.selectedFiles()) result.paths.push_back(file.toStdU16String());
    const int chosen = FilterIndexOf(request.filters, names, dialog.selectedNameFilter());
    result.filterIndex = chosen >= 0 ? chosen + 1 : request.filterIndex;
    return !result.paths.empty();
}

bool CQmQtPrompts::FolderDialog(QmWindow owner, std::u16string_view title, std::u16string& path) {
    QFileDialog dialog(FromOwner(owner), ToQString(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.adjustSize();
    CentreOverOwner(&dialog, FromOwner(owner));
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    path = chosen.front().toStdU16String();
    return true;
}

void CQmQtPrompts::SetWaitCursor(bool on) {
    if (on) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

}  // namespace qm
