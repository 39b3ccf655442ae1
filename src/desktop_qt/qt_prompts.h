// The real message boxes, file dialogs and wait cursor of the desktop
// program, installed as the process-wide prompts at start-up.
#pragma once

#include <QString>
#include <QStringList>

#include "common/user_prompts.h"

class QWidget;
class QFileDialog;

namespace qm {

class CQmQtPrompts : public CQmUserPrompts {
public:
    int MessageBox(const QmMessageBoxRequest& request) override;
    bool FileDialog(const QmFileDialogRequest& request, QmFileDialogResult& result) override;
    bool FolderDialog(QmWindow owner, std::u16string_view title, std::u16string& path) override;
    void SetWaitCursor(bool on) override;
};

// The owner handle of a widget, and back.
inline QmWindow ToOwner(QWidget* widget) { return widget; }
inline QWidget* FromOwner(QmWindow owner) { return static_cast<QWidget*>(owner); }

// "\r\n" (and a lone "\r") as the line breaks Qt shows.
QString ToDisplayText(std::u16string_view text);

// The name filters a file dialog shows for our filter entries: the
// description as we wrote it, the patterns (';'-separated) after it in the
// form Qt matches.
QStringList MakeNameFilters(const std::vector<QmFileFilter>& filters);

// Places `dialog` centred over `owner`, or on the available area of the
// owner's screen when the owner is hidden or minimised (of the primary
// screen without an owner), always inside that area.
void CentreOverOwner(QWidget* dialog, QWidget* owner);

}  // namespace qm
