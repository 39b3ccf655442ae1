// The find dialog.
#include "desktop_qt/find_dlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "desktop_qt/qt_prompts.h"

namespace qm {

namespace {

// Wide enough for a path fragment or a whole hash of the shorter kinds.
constexpr int kTextMinWidth = 230;

}  // namespace

CQmFindDlg::CQmFindDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("查找"));
    setModal(false);

    label_ = new QLabel(QStringLiteral("查找内容(&N):"), this);
    text_ = new QLineEdit(this);
    text_->setMaxLength(static_cast<int>(kFindTextMaxLength));
    text_->setMinimumWidth(kTextMinWidth);
    label_->setBuddy(text_);
    text_->installEventFilter(this);

    wholeWord_ = new QCheckBox(QStringLiteral("全字匹配(&W)"), this);
    matchCase_ = new QCheckBox(QStringLiteral("区分大小写(&C)"), this);

    direction_ = new QGroupBox(QStringLiteral("方向"), this);
    up_ = new QRadioButton(QStringLiteral("向上(&U)"), direction_);
    down_ = new QRadioButton(QStringLiteral("向下(&D)"), direction_);
    down_->setChecked(true);
    // One Tab stop for the direction, on the button that is checked; the
    // arrow keys move within the group. (Qt moves the stop only once a
    // button had the focus, so the first Tab would land on "up" while
    // "down" is the setting.)
    for (QRadioButton* button : {up_, down_}) {
        connect(button, &QRadioButton::toggled, this, [button](bool checked) {
            button->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
    }
    up_->setFocusPolicy(Qt::ClickFocus);
    auto* directionLayout = new QHBoxLayout(direction_);
    directionLayout->addWidget(up_);
    directionLayout->addWidget(down_);

    findNext_ = new QPushButton(QStringLiteral("查找下一个(&F)"), this);
    findNext_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setAutoDefault(false);
    // Like the familiar find box: nothing to search for, nothing to press,
    // so Enter on an empty text does nothing either.
    findNext_->setEnabled(false);
    connect(text_, &QLineEdit::textChanged, this,
            [this](const QString& text) { findNext_->setEnabled(!text.isEmpty()); });
    connect(findNext_, &QPushButton::clicked, this, [this] { emit FindNextRequested(GetSettings()); });
    connect(cancel_, &QPushButton::clicked, this, &CQmFindDlg::reject);

    // The view's keys, while this window has the focus.
    auto* findKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(findKey, &QShortcut::activated, this, &CQmFindDlg::FindCommandPressed);
    auto* findNextKey = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(findNextKey, &QShortcut::activated, this, &CQmFindDlg::FindNextCommandPressed);

    // Text row on top with the buttons in a column on the right; the check
    // boxes under the text, the direction group beside them.
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(label_);
    textRow->addWidget(text_, 1);
    auto* checks = new QVBoxLayout;
    checks->addStretch(1);
    checks->addWidget(wholeWord_);
    checks->addWidget(matchCase_);
    auto* options = new QHBoxLayout;
    options->addLayout(checks);
    options->addStretch(1);
    options->addWidget(direction_);
    auto* fields = new QVBoxLayout;
    fields->addLayout(textRow);
    fields->addLayout(options);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNext_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(12);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    // One size, its content's: nothing is cut off whatever the font.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QmFindSettings CQmFindDlg::GetSettings() const {
    QmFindSettings settings;
    settings.text = text_->text().toStdU16String();
    settings.wholeWord = wholeWord_->isChecked();
    settings.matchCase = matchCase_->isChecked();
    settings.down = down_->isChecked();
    return settings;
}

void CQmFindDlg::SetSettings(const QmFindSettings& settings) {
    const std::u16string_view text =
        std::u16string_view(settings.text).substr(0, std::min(settings.text.size(), kFindTextMaxLength));
    text_->setText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    wholeWord_->setChecked(settings.wholeWord);
    matchCase_->setChecked(settings.matchCase);
    (settings.down ? down_ : up_)->setChecked(true);
}

void CQmFindDlg::done(int result) {
    QDialog::done(result);
    emit Closed();
}

void CQmFindDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentreOverOwner(this, parentWidget());
    }
    // Ready to type a new text or to search again with the old one. The
    // text is selected again once the window is active and the edit has the
    // focus: the activation clears a selection made before it.
    text_->setFocus(Qt::ActiveWindowFocusReason);
    text_->selectAll();
    selectOnActivation_ = true;
}

bool CQmFindDlg::eventFilter(QObject* watched, QEvent* event) {
    // The line edit gets its focus back after the window became active.
    if (watched == text_ && event->type() == QEvent::FocusIn) SelectTextOnceActive();
    return QDialog::eventFilter(watched, event);
}

void CQmFindDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) SelectTextOnceActive();
}

void CQmFindDlg::SelectTextOnceActive() {
    if (!selectOnActivation_ || !isActiveWindow() || !text_->hasFocus()) return;
    selectOnActivation_ = false;
    text_->selectAll();
}

}  // namespace qm
