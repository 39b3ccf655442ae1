// The list view's modeless find dialog: the search text, whole word, match
// case and direction, "find next" and cancel.
//
// It only collects the settings and reports: FindNextRequested for "查找下一个"
// (and Enter), Closed when Escape, "取消" or the window's close button hide
// it, and FindCommandPressed / FindNextCommandPressed for Ctrl+F and F3
// pressed while it has the focus, so the view keeps handling those keys. It
// never searches itself. Closing only hides it; its settings stay.
#pragma once

#include <QDialog>

#include "desktop/find_logic.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qm {

class CQmFindDlg : public QDialog {
    Q_OBJECT

public:
    explicit CQmFindDlg(QWidget* parent = nullptr);

    // The fields as the user set them.
    QmFindSettings GetSettings() const;
    // Fills the fields (the text cut to kFindTextMaxLength).
    void SetSettings(const QmFindSettings& settings);

    QLabel* TextLabel() const { return label_; }
    QLineEdit* TextEdit() const { return text_; }
    QCheckBox* WholeWordCheck() const { return wholeWord_; }
    QCheckBox* MatchCaseCheck() const { return matchCase_; }
    QGroupBox* DirectionGroup() const { return direction_; }
    QRadioButton* UpRadio() const { return up_; }
    QRadioButton* DownRadio() const { return down_; }
    QPushButton* FindNextButton() const { return findNext_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Hides the dialog and tells Closed.
    void done(int result) override;

signals:
    void FindNextRequested(const qm::QmFindSettings& settings);
    void Closed();
    void FindCommandPressed();
    void FindNextCommandPressed();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SelectTextOnceActive();

    QLabel* label_ = nullptr;
    QLineEdit* text_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QGroupBox* direction_ = nullptr;
    QRadioButton* up_ = nullptr;
    QRadioButton* down_ = nullptr;
    QPushButton* findNext_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool centred_ = false;
    bool selectOnActivation_ = false;
};

}  // namespace qm
