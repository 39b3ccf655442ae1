// The main window at a device pixel ratio of 2 (QT_SCALE_FACTOR=2, set
// before the application starts): toolbar images, the application icon and
// the list's file icons come in twice their logical size instead of being
// blown up from the small ones, and the status-bar panes keep logical
// widths that hold their longest texts in the window's font, whatever font
// that is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "desktop/command_ids.h"
#include "desktop_qt/main_frame.h"
#include "common/app_info.h"
#include "document/quorvia_doc.h"
#include "document/task_texts.h"
#include "document/verify_summary.h"
#include "engines/register_engines.h"
#include "desktop_qt/about_dlg.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"

namespace qm {
namespace {

// Runs before main() makes the application, which reads the factor once.
const bool kScaled = [] { return setenv("QT_SCALE_FACTOR", "2", 1) == 0; }();

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

// The longest texts the panes show in ordinary use.
// The longest progress pane text: an hour's verification, with its counts.
const std::u16string kLongProgress = FormatCompletionSummary((59 * 60 + 59) * 1000ull, 999ull << 20) + u"，" +
                                     FormatVerifyCounts({99'999, 999, 999});
const std::u16string kLongTotals = FormatTotalsText(999'999, 999ull << 40);

// `icon` drawn at `logical` size on a screen of ratio 2 comes from a source
// of twice that size: Qt never enlarges a bitmap source, so a source too
// small shows as a smaller pixmap that the painter then blows up.
void ExpectSharp(const QIcon& icon, QSize logical, const std::string& what) {
    const QPixmap pixmap = icon.pixmap(logical, 2.0);
    EXPECT_EQ(pixmap.size(), logical * 2) << what;
    EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), logical) << what;
}

class HiDpiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppInfo().SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
        GetAppInfo().SetTitle(u"栎弦文件校验工具");
        InitGuiResources();
        RegisterBuiltInEngines();
        CreateIconList();
    }

    void SetUp() override {
        ASSERT_TRUE(kScaled);
        ASSERT_DOUBLE_EQ(qApp->devicePixelRatio(), 2.0) << "the factor did not reach the application";
        CMainFrameOptions options;
        options.completionSound = [] {};
        frame = std::make_unique<CMainFrame>(std::move(options));
        frame->resize(1300, 500);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        ASSERT_DOUBLE_EQ(frame->devicePixelRatioF(), 2.0);
    }

    void TearDown() override {
        frame.reset();
        GetQuorviaDoc().Clear();
    }

    QList<QLabel*> Panes() const {
        return frame->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    }

    // Each fixed pane is as wide as its width at 96 dots per inch or as its
    // longest text needs, whichever is more, and shows that text whole.
    void ExpectPanesHoldTheirTexts() const {
        const QList<QLabel*> panes = Panes();
        ASSERT_EQ(panes.size(), 3);
        const double scale = frame->logicalDpiX() / 96.0;
        const struct {
            int pane;
            int base;
            QString text;
        } fixed[] = {{kPaneProgress, 380, Q(kLongProgress)}, {kPaneTotals, 500, Q(kLongTotals)}};
        for (const auto& [pane, base, text] : fixed) {
            QLabel* label = panes[pane];
            const int needed = label->fontMetrics().horizontalAdvance(text);
            EXPECT_LE(needed, label->contentsRect().width()) << pane;
            EXPECT_GE(label->width(), static_cast<int>(base * scale + 0.5)) << pane;
            // Not wider than the larger of the two by more than a space or
            // two, and in logical pixels: never doubled for the ratio.
            const int most = std::max(static_cast<int>(base * scale + 0.5), needed) +
                             2 * label->fontMetrics().horizontalAdvance(QLatin1Char(' ')) + 2;
            EXPECT_LE(label->width(), most) << pane;
            EXPECT_EQ(label->minimumWidth(), label->maximumWidth()) << pane << " is of fixed width";
            // Drawn in twice as many device pixels.
            EXPECT_EQ(label->grab().size(), label->size() * 2) << pane;
        }
    }

    std::unique_ptr<CMainFrame> frame;
};

TEST_F(HiDpiTest, ToolbarImagesAreDrawnFromSourcesOfTwiceTheirSize) {
    QToolBar* toolBar = frame->ToolBar();
    const QSize iconSize = toolBar->iconSize();
    ASSERT_FALSE(iconSize.isEmpty());
    int buttons = 0;
    for (QAction* action : toolBar->actions()) {
        if (action->isSeparator() || !action->isVisible()) continue;
        ++buttons;
        ExpectSharp(action->icon(), iconSize, action->toolTip().toStdString());
        auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(action));
        ASSERT_TRUE(button);
        EXPECT_EQ(button->grab().size(), button->size() * 2);
    }
    EXPECT_EQ(buttons, 7);
    // The bundled images as well, which stand in where the desktop's theme
    // has none, also at the larger toolbar size of some styles.
    for (int image = 0; image < QM_TBIMG_COUNT; ++image) {
        for (int size : {16, 24, 32}) ExpectSharp(BundledToolbarIcon(image), QSize(size, size), std::to_string(image));
    }
}

TEST_F(HiDpiTest, ApplicationAndFileIconsAreSharp) {
    // Every size the window, the About box and the desktop ask for.
    for (int size : {16, 24, 32, 48, 64, 128}) ExpectSharp(AppIcon(), QSize(size, size), std::to_string(size));
    CAboutDlg about(frame.get());
    const auto* image = about.findChild<QLabel*>();
    ASSERT_TRUE(image);
    const QPixmap shown = image->pixmap();
    EXPECT_DOUBLE_EQ(shown.devicePixelRatio(), 2.0);
    EXPECT_EQ(shown.size(), QSize(96, 96));

    // The list's folder and file images, at the view's icon size.
    const int folder = GetFileIconIndex(QDir::tempPath().toStdU16String());
    const int file = GetIconList().GetFileIconIndex(u"/nowhere/readme.txt");
    const QSize small(16, 16);
    ExpectSharp(GetIconList().GetIcon(folder), small, "folder");
    ExpectSharp(GetIconList().GetIcon(file), small, "file");
}

TEST_F(HiDpiTest, PanesKeepLogicalWidthsThatHoldTheirLongestTexts) {
    ASSERT_NO_FATAL_FAILURE(ExpectPanesHoldTheirTexts());
    // A larger font (the user's, or a style's) widens the panes with it.
    const int progressWidth = Panes()[kPaneProgress]->width();
    QFont large = frame->font();
    large.setPixelSize(24);
    frame->setFont(large);
    QCoreApplication::processEvents();
    ASSERT_EQ(Panes()[kPaneProgress]->fontMetrics().height(), QFontMetrics(large).height());
    ASSERT_NO_FATAL_FAILURE(ExpectPanesHoldTheirTexts());
    EXPECT_GT(Panes()[kPaneProgress]->width(), progressWidth);
    // And a smaller one leaves them no narrower than their base widths.
    QFont tiny = frame->font();
    tiny.setPixelSize(6);
    frame->setFont(tiny);
    QCoreApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(ExpectPanesHoldTheirTexts());
    const double scale = frame->logicalDpiX() / 96.0;
    EXPECT_EQ(Panes()[kPaneProgress]->width(), static_cast<int>(380 * scale + 0.5));
    EXPECT_EQ(Panes()[kPaneTotals]->width(), static_cast<int>(500 * scale + 0.5));
}

}  // namespace
}  // namespace qm
