// The About box.
#include "desktop_qt/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop_qt/gui_resources.h"
#include "desktop_qt/qt_prompts.h"
#include "desktop/frame_resources.h"

namespace qm {

namespace {

constexpr int kIconSize = 48;

}  // namespace

QString CAboutDlg::AboutText() { return QString::fromStdU16String(GetAboutText()); }

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于"));

    icon_ = new QLabel(this);
    icon_->setPixmap(AppIcon().pixmap(kIconSize, kIconSize));
    icon_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    icon_->setAccessibleName(QStringLiteral("程序图标"));
    text_ = new QLabel(AboutText(), this);
    text_->setTextFormat(Qt::PlainText);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CAboutDlg::accept);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon_, 0, Qt::AlignTop);
    body->addWidget(text_, 1, Qt::AlignVCenter);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(body);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    // The box has one size: its content's.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentreOverOwner(this, parentWidget());
    }
}

}  // namespace qm
