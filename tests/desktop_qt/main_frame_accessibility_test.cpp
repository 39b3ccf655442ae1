// The main window as assistive technologies meet it: every control it
// shows has a name (the bars, the list, each toolbar button as its tooltip
// says, the panes, the overflow buttons of a narrow window), the menus are
// named by their titles, and a pane that shows a text is read by that text.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <memory>
#include <string>
#include <vector>

#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "desktop_qt/main_frame.h"
#include "common/app_info.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/task_paths.h"
#include "engines/register_engines.h"
#include "desktop/fake_prompts.h"
#include "support/temp_dir.h"
#include "desktop_qt/accessibility_checks.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {
namespace {

QString NameOf(QObject* object) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(object);
    return control ? control->text(QAccessible::Name) : QString();
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

class MainWindowAccessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppInfo().SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
        GetAppInfo().SetTitle(u"栎弦文件校验工具");
        InitGuiResources();
        RegisterBuiltInEngines();
        CreateIconList();
    }

    void SetUp() override {
        CMainFrameOptions options;
        options.completionSound = [] {};
        options.newTaskDialog = [this](CMainFrame&, const std::vector<std::u16string>&, QmNewTaskChoice& choice) {
            const std::vector<std::u16string> paths = {PathFromOs((dir / "t").string())};
            const QmTaskPathCheck check = CheckTaskPaths(paths);
            if (check.status != QmTaskPathStatus::Ok) return false;
            choice.algorithmId = 4;  // MD5
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return true;
        };
        frame = std::make_unique<CMainFrame>(std::move(options));
        frame->resize(1400, 600);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }

    void TearDown() override {
        frame.reset();
        GetQuorviaDoc().Clear();
    }

    QList<QLabel*> Panes() const {
        return frame->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    }

    test::TempDir dir;
    test::FakePrompts prompts;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainWindowAccessTest, EveryShownControlHasAName) {
    EXPECT_TRUE(test::UnnamedControls(frame.get()).empty()) << Join(test::UnnamedControls(frame.get()));
    EXPECT_EQ(NameOf(frame->menuBar()), QStringLiteral("菜单栏"));
    EXPECT_EQ(NameOf(frame->ToolBar()), QStringLiteral("工具栏"));
    EXPECT_EQ(NameOf(frame->statusBar()), QStringLiteral("状态栏"));
    EXPECT_EQ(NameOf(frame->View()), QStringLiteral("文件列表"));

    // Too narrow for the bars: their overflow buttons show and are named.
    frame->resize(150, 400);
    QCoreApplication::processEvents();
    int overflows = 0;
    for (QWidget* widget : frame->findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (name == QStringLiteral("qt_menubar_ext_button") || name == QStringLiteral("qt_toolbar_ext_button")) {
            if (widget->isVisible()) ++overflows;
        }
    }
    EXPECT_EQ(overflows, 2);
    EXPECT_TRUE(test::UnnamedControls(frame.get()).empty()) << Join(test::UnnamedControls(frame.get()));
}

TEST_F(MainWindowAccessTest, ToolbarButtonsReadAsTheirTooltipsOrMenuItems) {
    std::vector<std::pair<uint32_t, QString>> names;
    for (QAction* action : frame->ToolBar()->actions()) {
        if (action->isSeparator()) continue;
        names.emplace_back(action->data().toUInt(), NameOf(frame->ToolBar()->widgetForAction(action)));
    }
    // The save button has no tooltip: its menu item without the letter.
    const std::vector<std::pair<uint32_t, QString>> expected = {
        {ID_FILE_NEW, QStringLiteral("新建文件哈希")},     {ID_FILE_OPEN, QStringLiteral("打开原有哈希文件")},
        {ID_FILE_SAVE, QStringLiteral("保存")},            {ID_TASK_RELOCATE, QStringLiteral("重定位文件目录")},
        {ID_TASK_VERIFY_ALL, QStringLiteral("检查所有文件")}, {ID_TASK_STOP, QStringLiteral("停止计算任务")},
        {ID_EDIT_FIND, QStringLiteral("查找")},            {ID_APP_ABOUT, QStringLiteral("关于")},
    };
    EXPECT_EQ(names, expected);
}

TEST_F(MainWindowAccessTest, MenusAndTheirItemsAreNamed) {
    QStringList menus;
    for (QAction* popup : frame->menuBar()->actions()) {
        ASSERT_TRUE(popup->menu());
        menus << NameOf(popup->menu());
        QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(popup->menu());
        for (int i = 0; i < menu->childCount(); ++i) {
            QAccessibleInterface* item = menu->child(i);
            if (item->role() == QAccessible::Separator) continue;
            EXPECT_FALSE(item->text(QAccessible::Name).isEmpty()) << popup->text().toStdString() << " " << i;
        }
    }
    EXPECT_EQ(menus, QStringList({"文件", "编辑", "查看", "帮助"}));
}

TEST_F(MainWindowAccessTest, PanesReadTheirTextOrWhatTheyAre) {
    const QList<QLabel*> panes = Panes();
    ASSERT_EQ(panes.size(), 3);
    const QStringList roles = {"状态提示", "任务进度", "文件统计"};
    for (int pane = 0; pane < 3; ++pane) {
        EXPECT_EQ(NameOf(panes[pane]), roles[pane]) << "empty pane " << pane;
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(panes[pane]);
        EXPECT_EQ(control->text(QAccessible::Description), roles[pane]);
    }

    dir.Write("t/a.txt", "abc");
    frame->Action(ID_FILE_NEW)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->Logic().IsRunning(); }, 60'000));
    QCoreApplication::processEvents();
    for (int pane : {kPaneProgress, kPaneTotals}) {
        ASSERT_FALSE(frame->PaneText(pane).isEmpty()) << pane;
        EXPECT_EQ(NameOf(panes[pane]), frame->PaneText(pane)) << pane;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(panes[pane])->text(QAccessible::Description), roles[pane]);
    }
    EXPECT_TRUE(frame->PaneText(kPaneTotals).startsWith(QStringLiteral("文件总数: 1 个")));

    // A verification pass empties the progress pane as it starts: the name
    // says what the pane is again until the pass reports.
    frame->Action(ID_TASK_VERIFY_ALL)->trigger();
    EXPECT_TRUE(frame->PaneText(kPaneProgress).isEmpty());
    EXPECT_EQ(NameOf(panes[kPaneProgress]), roles[kPaneProgress]);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->Logic().IsRunning(); }, 60'000));
    QCoreApplication::processEvents();
    ASSERT_FALSE(frame->PaneText(kPaneProgress).isEmpty());
    EXPECT_EQ(NameOf(panes[kPaneProgress]), frame->PaneText(kPaneProgress));
}

}  // namespace
}  // namespace qm
