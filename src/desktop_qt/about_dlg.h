// The About box: the application icon, the product name with its version,
// the rights notice, and OK.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace qm {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // "<product> V<version>", an empty line, the rights notice.
    static QString AboutText();

    QLabel* IconLabel() const { return icon_; }
    QLabel* TextLabel() const { return text_; }
    QPushButton* OkButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* icon_ = nullptr;
    QLabel* text_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool centred_ = false;
};

}  // namespace qm
