// Every command of the main window from the keyboard: each menu of the bar
// has a mnemonic of its own; within a menu no mnemonic is repeated, and the
// items whose texts carry none are reached with the arrow keys. The menu key
// opens the list's context menu under the current row.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/command_ids.h"
#include "desktop_qt/main_frame.h"
#include "common/app_info.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/task_paths.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"
#include "desktop/fake_prompts.h"
#include "support/temp_dir.h"
#include "desktop_qt/accessibility_checks.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {
namespace {

using test::CheckMnemonics;
using test::MnemonicFaults;

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

QStringList ItemTexts(const QMenu& menu) {
    QStringList texts;
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator() && action->isVisible()) texts << action->text();
    }
    return texts;
}

// `everyOne`: each text must have a mnemonic; otherwise only repeats fail.
void ExpectKeyed(const QStringList& texts, const std::string& where, bool everyOne) {
    const MnemonicFaults faults = CheckMnemonics(texts);
    if (everyOne) {
        EXPECT_TRUE(faults.missing.empty()) << where << " without a mnemonic:\n" << Join(faults.missing);
    }
    EXPECT_TRUE(faults.repeated.empty()) << where << " repeats:\n" << Join(faults.repeated);
}

// What a popup showed while it was open, and where.
struct PopupShot {
    bool shown = false;
    QPoint topLeft;
    QStringList entries;
    QStringList copyEntries;
};

class KeyboardTest : public ::testing::Test {
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
            choice.algorithmId = algorithm;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return true;
        };
        frame = std::make_unique<CMainFrame>(std::move(options));
        frame->resize(1200, 600);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }

    void TearDown() override {
        frame.reset();
        GetQuorviaDoc().Clear();
    }

    void RunTask() {
        dir.Write("t/a.txt", "abc");
        dir.Write("t/b.txt", "b");
        dir.Write("t/sub/c.txt", "c");
        frame->Action(ID_FILE_NEW)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->Logic().IsRunning(); }, 60'000));
        QCoreApplication::processEvents();
    }

    // Opens a popup by `open` and records it; the popup is closed again.
    static PopupShot Capture(const std::function<void()>& open) {
        PopupShot shot;
        int rounds = 0;
        QTimer look;
        look.setInterval(0);
        QObject::connect(&look, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) {
                if (++rounds > 50) look.stop();
                return;
            }
            look.stop();
            shot.shown = true;
            shot.topLeft = menu->geometry().topLeft();
            shot.entries = ItemTexts(*menu);
            for (QAction* action : menu->actions()) {
                if (action->menu()) shot.copyEntries = ItemTexts(*action->menu());
            }
            menu->close();
        });
        look.start();
        open();
        for (int i = 0; i < 100 && look.isActive(); ++i) QCoreApplication::processEvents();
        return shot;
    }

    test::TempDir dir;
    test::FakePrompts prompts;
    int32_t algorithm = QM_HASH_MD5;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(KeyboardTest, MenuBarHasMnemonicsAndNoMenuRepeatsOne) {
    QStringList bar;
    for (QAction* popup : frame->menuBar()->actions()) {
        bar << popup->text();
        ASSERT_TRUE(popup->menu()) << popup->text().toStdString();
        ExpectKeyed(ItemTexts(*popup->menu()), popup->text().toStdString(), false);
    }
    ASSERT_EQ(bar.size(), 4);
    ExpectKeyed(bar, "the menu bar", true);
}

TEST_F(KeyboardTest, MenuItemsRunByTheirLetterOrByTheArrowKeys) {
    RunTask();
    QTreeView* view = frame->View();
    CQmQuorviaModel* model = frame->View()->GetModel();
    ASSERT_EQ(model->GetGroupCount(), 2);
    ASSERT_TRUE(view->isExpanded(model->GroupIndex(0)));
    QMenu* viewMenu = frame->menuBar()->actions()[2]->menu();
    ASSERT_TRUE(viewMenu);

    // 查看 > 状态栏(&S) by its letter, with the menu open.
    ASSERT_TRUE(frame->statusBar()->isVisible());
    viewMenu->popup(frame->mapToGlobal(QPoint(40, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewMenu));
    QTest::keyClick(viewMenu, Qt::Key_S);
    QCoreApplication::processEvents();
    EXPECT_FALSE(viewMenu->isVisible());
    EXPECT_FALSE(frame->statusBar()->isVisible());

    // 查看 > 折叠所有目录, whose text has no letter, by Down and Enter.
    QAction* collapse = frame->Action(ID_VIEW_COLLAPSE_ALL);
    ASSERT_TRUE(collapse);
    viewMenu->popup(frame->mapToGlobal(QPoint(40, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewMenu));
    for (int i = 0; i < viewMenu->actions().size() && viewMenu->activeAction() != collapse; ++i)
        QTest::keyClick(viewMenu, Qt::Key_Down);
    ASSERT_EQ(viewMenu->activeAction(), collapse);
    QTest::keyClick(viewMenu, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(viewMenu->isVisible());
    EXPECT_FALSE(view->isExpanded(model->GroupIndex(0)));
    EXPECT_FALSE(view->isExpanded(model->GroupIndex(1)));
}

TEST_F(KeyboardTest, MenuKeyOpensTheContextMenuUnderTheCurrentRow) {
    algorithm = QM_HASH_115;  // the copy submenu's longest form
    RunTask();
    CQuorviaView* view = frame->View();
    CQmQuorviaModel* model = view->GetModel();
    const QModelIndex second = model->index(1, 0, model->GroupIndex(0));
    ASSERT_TRUE(model->ItemAt(second));
    view->setFocus();
    view->selectionModel()->setCurrentIndex(second,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    // What the window system sends for the menu key: a context menu event
    // of the keyboard, to the widget with the focus.
    const PopupShot shot = Capture([view] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QCoreApplication::sendEvent(view, &event);
    });
    ASSERT_TRUE(shot.shown);
    EXPECT_EQ(shot.topLeft, view->viewport()->mapToGlobal(view->visualRect(second).bottomLeft()));
    ASSERT_EQ(shot.entries.size(), 6);
    ExpectKeyed(shot.entries, "the context menu", false);
    ASSERT_EQ(shot.copyEntries.size(), 5);
    ExpectKeyed(shot.copyEntries, "the copy submenu", false);
}

}  // namespace
}  // namespace qm
