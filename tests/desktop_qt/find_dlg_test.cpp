// The find dialog driven through its widgets and keys.
#include "desktop_qt/find_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <vector>

namespace qm {
namespace {

// Everything the dialog reported, in order.
struct Recorder {
    explicit Recorder(CQmFindDlg& dialog) {
        QObject::connect(&dialog, &CQmFindDlg::FindNextRequested, &dialog,
                         [this](const QmFindSettings& settings) { searches.push_back(settings); });
        QObject::connect(&dialog, &CQmFindDlg::Closed, &dialog, [this] { ++closed; });
        QObject::connect(&dialog, &CQmFindDlg::FindCommandPressed, &dialog, [this] { ++findKeys; });
        QObject::connect(&dialog, &CQmFindDlg::FindNextCommandPressed, &dialog, [this] { ++findNextKeys; });
    }
    std::vector<QmFindSettings> searches;
    int closed = 0;
    int findKeys = 0;
    int findNextKeys = 0;
};

class FindDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = std::make_unique<QWidget>();
        owner_->resize(600, 400);
        dialog_ = new CQmFindDlg(owner_.get());
        recorder_ = std::make_unique<Recorder>(*dialog_);
    }
    void TearDown() override { owner_.reset(); }

    void ShowActive() {
        owner_->show();
        dialog_->show();
        dialog_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_));
    }

    std::unique_ptr<QWidget> owner_;
    CQmFindDlg* dialog_ = nullptr;  // owned by owner_
    std::unique_ptr<Recorder> recorder_;
};

TEST_F(FindDlgTest, TextsAndDefaults) {
    CQmFindDlg& d = *dialog_;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("查找"));
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(d.TextLabel()->text(), QStringLiteral("查找内容(&N):"));
    EXPECT_EQ(d.TextLabel()->buddy(), d.TextEdit());
    EXPECT_EQ(d.WholeWordCheck()->text(), QStringLiteral("全字匹配(&W)"));
    EXPECT_EQ(d.MatchCaseCheck()->text(), QStringLiteral("区分大小写(&C)"));
    EXPECT_EQ(d.DirectionGroup()->title(), QStringLiteral("方向"));
    EXPECT_EQ(d.UpRadio()->text(), QStringLiteral("向上(&U)"));
    EXPECT_EQ(d.DownRadio()->text(), QStringLiteral("向下(&D)"));
    EXPECT_EQ(d.UpRadio()->parentWidget(), d.DirectionGroup());
    EXPECT_EQ(d.DownRadio()->parentWidget(), d.DirectionGroup());
    EXPECT_EQ(d.FindNextButton()->text(), QStringLiteral("查找下一个(&F)"));
    EXPECT_EQ(d.CancelButton()->text(), QStringLiteral("取消"));

    EXPECT_TRUE(d.TextEdit()->text().isEmpty());
    EXPECT_FALSE(d.WholeWordCheck()->isChecked());
    EXPECT_FALSE(d.MatchCaseCheck()->isChecked());
    EXPECT_TRUE(d.DownRadio()->isChecked());
    EXPECT_FALSE(d.UpRadio()->isChecked());
    EXPECT_TRUE(d.FindNextButton()->isDefault());
    EXPECT_FALSE(d.CancelButton()->isDefault());
    EXPECT_EQ(d.GetSettings(), QmFindSettings{});
}

TEST_F(FindDlgTest, FindNextIsPressableOnlyWithAText) {
    ShowActive();
    QPushButton* findNext = dialog_->FindNextButton();
    EXPECT_FALSE(findNext->isEnabled());
    // Enter on the empty text does nothing.
    QTest::keyClick(dialog_->TextEdit(), Qt::Key_Return);
    EXPECT_TRUE(recorder_->searches.empty());
    QTest::keyClicks(dialog_->TextEdit(), QStringLiteral("a"));
    EXPECT_TRUE(findNext->isEnabled());
    QTest::keyClick(dialog_->TextEdit(), Qt::Key_Backspace);
    EXPECT_FALSE(findNext->isEnabled());
    EXPECT_TRUE(recorder_->searches.empty());
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(FindDlgTest, TheTextHoldsAtMost255Characters) {
    EXPECT_EQ(dialog_->TextEdit()->maxLength(), 255);
    dialog_->TextEdit()->setText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(dialog_->GetSettings().text, std::u16string(255, u'x'));

    QmFindSettings settings;
    settings.text = std::u16string(256, u'查');
    dialog_->SetSettings(settings);
    EXPECT_EQ(dialog_->GetSettings().text, std::u16string(255, u'查'));
}

TEST_F(FindDlgTest, FindNextReportsTheFieldsAndKeepsTheDialogOpen) {
    ShowActive();
    // Typed as far as the test keyboard goes (ASCII), the rest inserted.
    QTest::keyClicks(dialog_->TextEdit(), QStringLiteral("MD5 "));
    dialog_->TextEdit()->insert(QStringLiteral("值"));
    QTest::mouseClick(dialog_->FindNextButton(), Qt::LeftButton);
    dialog_->MatchCaseCheck()->setChecked(true);
    dialog_->UpRadio()->setChecked(true);
    QTest::keyClick(dialog_->TextEdit(), Qt::Key_Return);  // the default button
    dialog_->WholeWordCheck()->setChecked(true);
    dialog_->MatchCaseCheck()->setChecked(false);
    dialog_->DownRadio()->setChecked(true);
    QTest::mouseClick(dialog_->FindNextButton(), Qt::LeftButton);

    ASSERT_EQ(recorder_->searches.size(), 3u);
    EXPECT_EQ(recorder_->searches[0], (QmFindSettings{u"MD5 值", false, false, true}));
    EXPECT_EQ(recorder_->searches[1], (QmFindSettings{u"MD5 值", false, true, false}));
    EXPECT_EQ(recorder_->searches[2], (QmFindSettings{u"MD5 值", true, false, true}));
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(recorder_->closed, 0);
}

TEST_F(FindDlgTest, SetSettingsFillsTheFields) {
    dialog_->SetSettings({u"abc", true, true, false});
    EXPECT_EQ(dialog_->TextEdit()->text(), QStringLiteral("abc"));
    EXPECT_TRUE(dialog_->WholeWordCheck()->isChecked());
    EXPECT_TRUE(dialog_->MatchCaseCheck()->isChecked());
    EXPECT_TRUE(dialog_->UpRadio()->isChecked());
    EXPECT_FALSE(dialog_->DownRadio()->isChecked());
    EXPECT_TRUE(dialog_->FindNextButton()->isEnabled());
    dialog_->SetSettings({});
    EXPECT_EQ(dialog_->GetSettings(), QmFindSettings{});
}

TEST_F(FindDlgTest, EscapeAndCancelHideItAndKeepTheSettings) {
    ShowActive();
    QTest::keyClicks(dialog_->TextEdit(), QStringLiteral("abc"));
    dialog_->WholeWordCheck()->setChecked(true);
    QTest::keyClick(dialog_->TextEdit(), Qt::Key_Escape);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(recorder_->closed, 1);
    EXPECT_TRUE(recorder_->searches.empty());
    EXPECT_EQ(dialog_->GetSettings(), (QmFindSettings{u"abc", true, false, true}));

    ShowActive();
    // Shown again: the old text is selected, so typing replaces it.
    EXPECT_EQ(dialog_->TextEdit()->selectedText(), QStringLiteral("abc"));
    QTest::mouseClick(dialog_->CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(recorder_->closed, 2);
    EXPECT_TRUE(recorder_->searches.empty());
}

TEST_F(FindDlgTest, CtrlFAndF3AreForwardedAndSearchNothing) {
    ShowActive();
    QTest::keyClicks(dialog_->TextEdit(), QStringLiteral("abc"));
    QTest::keyClick(dialog_->TextEdit(), Qt::Key_F3);
    EXPECT_EQ(recorder_->findNextKeys, 1);
    EXPECT_EQ(recorder_->findKeys, 0);
    QTest::keyClick(dialog_->TextEdit(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(recorder_->findKeys, 1);
    // Also with the focus elsewhere in the dialog.
    dialog_->MatchCaseCheck()->setFocus();
    QTest::keyClick(dialog_->MatchCaseCheck(), Qt::Key_F3);
    EXPECT_EQ(recorder_->findNextKeys, 2);
    EXPECT_EQ(dialog_->TextEdit()->text(), QStringLiteral("abc"));
    EXPECT_TRUE(recorder_->searches.empty());
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(FindDlgTest, FixedSizeWithNothingCutOff) {
    ShowActive();
    const QSize size = dialog_->size();
    EXPECT_EQ(dialog_->minimumSize(), size);
    EXPECT_EQ(dialog_->maximumSize(), size);
    EXPECT_LE(size.width(), 600);
    EXPECT_LE(size.height(), 250);
    const std::vector<QWidget*> widgets = {dialog_->WholeWordCheck(), dialog_->MatchCaseCheck(),
                                           dialog_->UpRadio(),        dialog_->DownRadio(),
                                           dialog_->FindNextButton(), dialog_->CancelButton(),
                                           dialog_->DirectionGroup()};
    for (QWidget* widget : widgets) {
        EXPECT_GE(widget->width(), widget->sizeHint().width()) << widget->metaObject()->className();
        EXPECT_GE(widget->height(), widget->sizeHint().height()) << widget->metaObject()->className();
        // Inside the dialog.
        const QRect inDialog(widget->mapTo(dialog_, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(dialog_->rect().contains(inDialog)) << widget->metaObject()->className();
    }
    // The two buttons share one width, the wider one's.
    EXPECT_EQ(dialog_->FindNextButton()->width(), dialog_->CancelButton()->width());
}

}  // namespace
}  // namespace qm
