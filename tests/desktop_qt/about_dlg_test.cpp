// The About box: its text, its fixed size and that OK closes it.
#include "desktop_qt/about_dlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace qm {
namespace {

TEST(AboutDlgTest, ShowsNameVersionAndRightsNotice) {
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("关于"));
    EXPECT_EQ(dialog.TextLabel()->text(),
              QStringLiteral("栎弦文件校验工具 V2.22.2.15\n\nCopyright © 2026 Zantoria"));
    EXPECT_EQ(dialog.OkButton()->text(), QStringLiteral("确定"));
    EXPECT_TRUE(dialog.OkButton()->isDefault());
    // The bundled application icon, not an empty label.
    EXPECT_FALSE(dialog.IconLabel()->pixmap().isNull());
}

TEST(AboutDlgTest, HasOneSizeAndIsCentredOnItsParent) {
    QWidget parent;
    parent.setGeometry(100, 100, 900, 700);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    CAboutDlg dialog(&parent);
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const QPoint offset = dialog.frameGeometry().center() - parent.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
    dialog.reject();
}

TEST(AboutDlgTest, OkClosesTheBoxAccepted) {
    CAboutDlg dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    ASSERT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
}

}  // namespace
}  // namespace qm
