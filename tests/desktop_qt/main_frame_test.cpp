// The main window end to end, offscreen: its actions, the real list view and
// the real task runner on trees the tests make; boxes and file dialogs are
// answered by the test's prompts, the new-task dialog by the test.
#include "desktop_qt/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>


#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "common/app_info.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/task_texts.h"
#include "engines/hash_catalog.h"
#include "engines/hash_text.h"
#include "engines/register_engines.h"
#include "desktop/fake_prompts.h"
#include "support/temp_dir.h"
#include "support/worker_threads.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/new_hash_dlg.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kAppName[] = u"栎弦文件校验工具";

std::u16string U(const fs::path& path) { return PathFromOs(path.string()); }
QString Q(std::u16string_view text) { return QString::fromStdU16String(std::u16string(text)); }

void MakeSparse(const fs::path& path, uint64_t size) {
    fs::create_directories(path.parent_path());
    { std::ofstream touch(path); }
    fs::resize_file(path, size);
}

// The hash text the engines give for the whole file.
std::u16string EngineHash(int32_t algorithm, const fs::path& file) {
    const std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(algorithm);
    uint8_t digest[64] = {};
    EXPECT_TRUE(engine->HashFile(U(file), QM_HASH_WHOLE_FILE, digest));
    std::u16string text;
    GetHashValueText(algorithm, digest, engine->GetHashSize(), text);
    return text;
}

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppInfo().SetNames(kAppName, u"Quorvia 2.0", nullptr);
        GetAppInfo().SetTitle(kAppName);
        InitGuiResources();
        RegisterBuiltInEngines();
        CreateIconList();
    }

    void TearDown() override {
        frame.reset();
        GetQuorviaDoc().Clear();
    }

    // A window whose new-task dialog answers with `taskPaths` as the real
    // dialog's checks hand them over.
    void MakeFrame(std::vector<std::u16string> arguments = {}) {
        CMainFrameOptions options;
        options.arguments = std::move(arguments);
        options.completionSound = [this] { ++chimes; };
        options.newTaskDialog = [this](CMainFrame&, const std::vector<std::u16string>& initial,
                                       QmNewTaskChoice& choice) {
            dialogInitialPaths.push_back(initial);
            const QmTaskPathCheck check = CheckTaskPaths(taskPaths);
            if (check.status != QmTaskPathStatus::Ok) return false;
            choice.algorithmId = taskAlgorithm;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return true;
        };
        frame = std::make_unique<CMainFrame>(std::move(options));
    }

    void Trigger(uint32_t id) {
        QAction* action = frame->Action(id);
        ASSERT_TRUE(action) << id;
        ASSERT_TRUE(action->isEnabled()) << id;
        action->trigger();
    }

    // Lets the event loop run until the task is over and its last messages
    // (the totals) are handled.
    void WaitForIdle() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->Logic().IsRunning(); }, 120'000));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }

    void RunTask(std::vector<fs::path> paths, int32_t algorithm = QM_HASH_SHA1) {
        taskPaths.clear();
        for (const fs::path& path : paths) taskPaths.push_back(U(path));
        taskAlgorithm = algorithm;
        if (GetQuorviaDoc().IsModified()) prompts.boxAnswers.push_back(IDNO);
        Trigger(ID_FILE_NEW);
        ASSERT_TRUE(frame->Logic().IsRunning());
        WaitForIdle();
    }

    CQmQuorviaModel& Model() { return *frame->View()->GetModel(); }
    std::u16string Cell(const fs::path& file, int column) {
        for (CQmQuorviaItem* item : Model().List().ItemsInRowOrder()) {
            if (item->GetPath() == U(file)) return Model().List().CellText(item, column);
        }
        ADD_FAILURE() << "no row for " << file;
        return {};
    }
    const CQmQuorviaItem* ItemOf(const fs::path& file) {
        for (CQmQuorviaItem* item : Model().List().ItemsInRowOrder()) {
            if (item->GetPath() == U(file)) return item;
        }
        return nullptr;
    }

    test::TempDir dir;
    test::FakePrompts prompts;
    std::vector<std::u16string> taskPaths;
    int32_t taskAlgorithm = QM_HASH_SHA1;
    std::vector<std::vector<std::u16string>> dialogInitialPaths;
    int chimes = 0;
    std::unique_ptr<CMainFrame> frame;
};

// --- the window's parts ---------------------------------------------------

TEST_F(MainFrameTest, MenuToolbarAndStatusBarAsBuilt) {
    MakeFrame();
    const QList<QAction*> popups = frame->menuBar()->actions();
    ASSERT_EQ(popups.size(), static_cast<qsizetype>(GetMainMenu().size()));
    for (qsizetype p = 0; p < popups.size(); ++p) {
        const QmMenuPopup& expected = GetMainMenu()[static_cast<size_t>(p)];
        EXPECT_EQ(popups[p]->text(), Q(expected.text));
        const QList<QAction*> items = popups[p]->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected.items.size()));
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QmMenuItem& item = expected.items[static_cast<size_t>(i)];
            if (item.id == 0) {
                EXPECT_TRUE(items[i]->isSeparator());
                continue;
            }
            const QmMenuText text = SplitMenuText(item.text);
            EXPECT_EQ(items[i]->data().toUInt(), item.id);
            EXPECT_EQ(items[i]->text(), Q(text.label));
            // What the shortcut column shows.
            EXPECT_EQ(items[i]->shortcut().toString(QKeySequence::PortableText), Q(text.shortcut));
        }
    }
    // The menu as the user reads it: popup, then each item's label and
    // shortcut column ("-" a separator).
    QStringList shown;
    for (QAction* popup : popups) {
        shown << popup->text();
        for (QAction* item : popup->menu()->actions()) {
            shown << (item->isSeparator() ? QStringLiteral("-")
                                          : item->text() + QLatin1Char('|') +
                                                item->shortcut().toString(QKeySequence::PortableText));
        }
    }
    const QStringList expectedMenu = {
        "文件(&F)",    "新建(&N)|Ctrl+N", "打开(&O)...|Ctrl+O", "保存(&S)|Ctrl+S", "另存为(&A)...|", "-",
        "退出(&X)|",   "编辑(&E)",        "查找(&F)|Ctrl+F",    "查找下一个|F3",   "-",              "全选(&A)|Ctrl+A",
        "检查所有文件|", "下一个问题|F8", "查看(&V)",        "工具栏(&T)|",        "状态栏(&S)|",     "-",              "折叠所有目录|",
        "展开所有目录|", "-",               "始终在前|",          "帮助(&H)",        "关于(&A)|",
    };
    EXPECT_EQ(shown, expectedMenu);
    for (uint32_t id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_TOPMOST}) {
        EXPECT_TRUE(frame->Action(id)->isCheckable()) << id;
    }
    EXPECT_FALSE(frame->Action(ID_FILE_SAVE)->isCheckable());
    EXPECT_EQ(frame->Action(ID_FILE_NEW)->statusTip(), QStringLiteral("新建文件哈希"));
    EXPECT_EQ(frame->Action(ID_FILE_SAVE)->statusTip(), QStringLiteral("保存哈希文件\t保存哈希文件"));
    EXPECT_TRUE(frame->Action(ID_FILE_SAVE_AS)->statusTip().isEmpty());

    // Toolbar: separator, three buttons, separator, the hidden relocate
    // button and four more; tooltips after the line break.
    const QList<QAction*> tools = frame->ToolBar()->actions();
    ASSERT_EQ(tools.size(), 10);
    std::vector<uint32_t> toolIds;
    for (QAction* tool : tools) toolIds.push_back(tool->isSeparator() ? 0 : tool->data().toUInt());
    EXPECT_EQ(toolIds, (std::vector<uint32_t>{0, ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_TASK_RELOCATE,
                                              ID_TASK_VERIFY_ALL, ID_TASK_STOP, ID_EDIT_FIND, ID_APP_ABOUT}));
    EXPECT_FALSE(tools[5]->isVisible());
    EXPECT_EQ(tools[6]->data().toUInt(), ID_TASK_VERIFY_ALL);
    EXPECT_EQ(tools[6]->toolTip(), QStringLiteral("检查所有文件"));
    EXPECT_EQ(tools[6]->statusTip(), QStringLiteral("验证所有文件校验信息"));
    for (qsizetype i = 1; i < tools.size(); ++i) {
        if (!tools[i]->isSeparator()) {
            EXPECT_FALSE(tools[i]->icon().isNull()) << i;
        }
    }

    const double scale = frame->logicalDpiX() / 96.0;
    const QList<QLabel*> labels = frame->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 3);
    // At least their widths at 96 dots per inch; wider where the font
    // needs it for their longest texts.
    EXPECT_GE(labels[1]->width(), static_cast<int>(380 * scale + 0.5));
    EXPECT_GE(labels[2]->width(), static_cast<int>(500 * scale + 0.5));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("未命名 - 栎弦文件校验工具"));
    EXPECT_EQ(frame->centralWidget(), frame->View());
}

TEST_F(MainFrameTest, GapsPanesPromptsAndTooltipsOnScreen) {
    MakeFrame();
    frame->resize(1400, 600);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    const auto scaled = [this](int pixels) { return static_cast<int>(pixels * (frame->logicalDpiX() / 96.0) + 0.5); };

    // The leading gap and the one after the save button keep their widths.
    QToolBar* toolBar = frame->ToolBar();
    const QList<QAction*> tools = toolBar->actions();
    ASSERT_EQ(tools.size(), 10);
    QWidget* lead = toolBar->widgetForAction(tools[0]);
    QWidget* gap = toolBar->widgetForAction(tools[4]);
    ASSERT_TRUE(lead && gap);
    EXPECT_TRUE(lead->isVisible());
    EXPECT_EQ(lead->width(), scaled(4));
    EXPECT_EQ(gap->width(), scaled(8));
    QWidget* newButton = toolBar->widgetForAction(frame->Action(ID_FILE_NEW));
    QWidget* verify = toolBar->widgetForAction(frame->Action(ID_TASK_VERIFY_ALL));
    QWidget* save = toolBar->widgetForAction(frame->Action(ID_FILE_SAVE));
    ASSERT_TRUE(newButton && verify && save);
    EXPECT_LT(lead->geometry().right(), newButton->x());

    // Pane 0 takes what is left, panes 1 and 2 follow at the right.
    const QList<QLabel*> labels = frame->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 3);
    EXPECT_LT(labels[0]->geometry().right(), labels[1]->x());
    EXPECT_LT(labels[1]->geometry().right(), labels[2]->x());
    const int firstWidth = labels[0]->width();
    const int progressWidth = labels[1]->width();
    const int totalsWidth = labels[2]->width();
    EXPECT_GE(progressWidth, scaled(380));
    EXPECT_GE(totalsWidth, scaled(500));
    frame->resize(1600, 600);
    QCoreApplication::processEvents();
    EXPECT_GT(labels[0]->width(), firstWidth);
    EXPECT_EQ(labels[1]->width(), progressWidth);
    EXPECT_EQ(labels[2]->width(), totalsWidth);

    // Hovering a toolbar button leaves the status bar alone; prompts are
    // the menu items'.
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), verify->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(verify, &enter);
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(verify, &leave);
    QMenu* fileMenu = frame->menuBar()->actions()[0]->menu();
    // A menu ignores the pointer near where it stood when the menu opened.
    QCursor::setPos(frame->mapToGlobal(QPoint(1000, 400)));
    fileMenu->popup(frame->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
    QTest::mouseMove(fileMenu, fileMenu->actionGeometry(frame->Action(ID_FILE_OPEN)).center());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("打开原有哈希文件"));
    QTest::mouseMove(fileMenu, fileMenu->actionGeometry(frame->Action(ID_FILE_SAVE_AS)).center());
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty()) << "no string, no prompt";
    QTest::mouseMove(fileMenu, fileMenu->actionGeometry(frame->Action(ID_FILE_NEW)).center());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("新建文件哈希"));
    fileMenu->close();
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty()) << "the prompt goes with the menu";

    // Tooltips are the part after the line break; the save button has none.
    // (The save button is asked first: a hidden tooltip stays visible for a
    // moment.)
    QHelpEvent onSave(QEvent::ToolTip, QPoint(2, 2), save->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(save, &onSave);
    EXPECT_FALSE(QToolTip::isVisible());
    QHelpEvent onVerify(QEvent::ToolTip, QPoint(2, 2), verify->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(verify, &onVerify);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("检查所有文件"));
    QHelpEvent onNew(QEvent::ToolTip, QPoint(2, 2), newButton->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(newButton, &onNew);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("新建文件哈希"));
    QToolTip::hideText();
}

TEST_F(MainFrameTest, BarTogglesAndStayOnTopKeepTheWindow) {
    MakeFrame();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    Trigger(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame->ToolBar()->isHidden());
    EXPECT_FALSE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
    Trigger(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame->ToolBar()->isHidden());
    EXPECT_TRUE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
    Trigger(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_FALSE(frame->Action(ID_VIEW_STATUS_BAR)->isChecked());

    frame->setGeometry(100, 120, 900, 500);
    const QRect geometry = frame->geometry();
    Trigger(ID_VIEW_TOPMOST);
    EXPECT_TRUE(frame->IsStayOnTop());
    EXPECT_TRUE(frame->Action(ID_VIEW_TOPMOST)->isChecked());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->geometry(), geometry);
    Trigger(ID_VIEW_TOPMOST);
    EXPECT_FALSE(frame->IsStayOnTop());
    EXPECT_FALSE(frame->Action(ID_VIEW_TOPMOST)->isChecked());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->geometry(), geometry);
}

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        // QTest presses the modifier keys on their own first.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Shift && key != Qt::Key_Control) ++presses;
        return false;
    }
};

TEST_F(MainFrameTest, AcceleratorsReachTheirCommandsWhateverTheState) {
    MakeFrame();
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    frame->View()->setFocus();

    // A changed, empty document: save is grey, Ctrl+S still saves.
    ASSERT_TRUE(GetQuorviaDoc().BeginTask(U(dir.path()), QM_HASH_SHA1, true));
    frame->Logic().UpdateTitleAndCommands();
    ASSERT_FALSE(frame->Action(ID_FILE_SAVE)->isEnabled());
    QTest::keyClick(frame->View(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(prompts.fileDialogs[0].title, u"保存文件校验");

    // The keys nobody handles are taken and do nothing.
    KeyCounter counter;
    frame->View()->installEventFilter(&counter);
    QTest::keyClick(frame->View(), Qt::Key_F6);
    QTest::keyClick(frame->View(), Qt::Key_F6, Qt::ShiftModifier);
    QTest::keyClick(frame->View(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(frame->View(), Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(frame->View(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(frame->View(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(counter.presses, 0);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(prompts.fileDialogs.size(), 1u);

    prompts.boxAnswers = {IDNO};  // the changed document is not saved
    QTest::keyClick(frame->View(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(dialogInitialPaths.size(), 1u) << "Ctrl+N opens the new-task dialog";
}

// --- a task from the window -----------------------------------------------

TEST_F(MainFrameTest, NewTaskListsRowsByDirectorySortedWithTheEnginesHashes) {
    MakeFrame();
    const std::vector<fs::path> files = {
        dir.Write("tree/top.txt", "top"),       dir.Write("tree/b/zeta.bin", "zz"),
        dir.Write("tree/b/alpha.bin", "alpha"), dir.Write("tree/b/10.txt", "ten"),
        dir.Write("tree/b/9.txt", "nine"),      dir.Write("tree/a/m.bin", std::string(70000, 'm')),
    };
    for (uint32_t id : {ID_FILE_SAVE, ID_EDIT_FIND, ID_VIEW_COLLAPSE_ALL, ID_TASK_VERIFY_ALL, ID_TASK_STOP}) {
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    }
    taskPaths = {U(dir / "tree")};
    taskAlgorithm = QM_HASH_MD5;
    Trigger(ID_FILE_NEW);
    EXPECT_TRUE(frame->Action(ID_TASK_STOP)->isEnabled());
    EXPECT_FALSE(frame->Action(ID_TASK_VERIFY_ALL)->isEnabled());
    EXPECT_TRUE(frame->IsProgressTimerActive());
    EXPECT_EQ(frame->PaneText(kPaneTotals), QStringLiteral("正在添加文件列表"));
    WaitForIdle();

    CQmQuorviaModel& model = Model();
    ASSERT_EQ(model.GetFileCount(), 6);
    // The input's own files first, then its directories: one group each,
    // files sorted by name within it (numbers by value).
    ASSERT_EQ(model.GetGroupCount(), 3);
    EXPECT_EQ(model.List().GetGroupDirectory(0), U(dir / "tree"));
    std::vector<std::u16string> groupB;
    for (int g = 0; g < model.GetGroupCount(); ++g) {
        if (model.List().GetGroupDirectory(g) != U(dir / "tree/b")) continue;
        const QModelIndex group = model.GroupIndex(g);
        for (int r = 0; r < model.rowCount(group); ++r) {
            groupB.push_back(model.data(model.index(r, 0, group)).toString().toStdU16String());
        }
    }
    EXPECT_EQ(groupB, (std::vector<std::u16string>{u"9.txt", u"10.txt", u"alpha.bin", u"zeta.bin"}));
    // The document takes the order shown.
    std::vector<CQmQuorviaItem*> documentOrder;
    for (size_t i = 0; i < GetQuorviaDoc().GetItemCount(); ++i) documentOrder.push_back(GetQuorviaDoc().GetItemAt(i));
    EXPECT_EQ(documentOrder, model.List().ItemsInRowOrder());

    for (const fs::path& file : files) EXPECT_EQ(Cell(file, 3), EngineHash(QM_HASH_MD5, file)) << file;
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("MD5"));
    EXPECT_TRUE(frame->PaneText(kPaneProgress).startsWith(QStringLiteral("耗时：")));
    EXPECT_EQ(frame->PaneText(kPaneTotals), Q(FormatTotalsText(6, 3 + 2 + 5 + 3 + 4 + 70000)));
    EXPECT_EQ(chimes, 1);
    EXPECT_FALSE(frame->IsProgressTimerActive());
    for (uint32_t id : {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_EDIT_FIND, ID_VIEW_COLLAPSE_ALL, ID_VIEW_EXPAND_ALL,
                        ID_TASK_VERIFY_ALL}) {
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(frame->Action(ID_TASK_STOP)->isEnabled());
}

TEST_F(MainFrameTest, SavedListsOpenInAFreshWindowAndVerifyShowsWhatChanged) {
    MakeFrame();
    const fs::path same = dir.Write("data/same.txt", "unchanged");
    const fs::path changed = dir.Write("data/sub/changed.txt", "before");
    const fs::path deleted = dir.Write("data/sub/deleted.txt", "soon gone");
    RunTask({dir / "data"}, QM_HASH_MD5);

    const fs::path textList = dir / "data/list.txt";
    prompts.fileAnswers = {std::vector<std::u16string>{U(textList)}};
    Trigger(ID_FILE_SAVE);
    ASSERT_EQ(prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(prompts.fileDialogs[0].initialPath, U(dir / "data/Quorvia"));
    EXPECT_TRUE(test::ReadBytes(textList).starts_with("\xEF\xBB\xBF; Hash: MD5\r\n\r\n"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("list - 栎弦文件校验工具"));

    const fs::path md5List = dir / "data/list.md5";
    prompts.fileAnswers = {std::vector<std::u16string>{U(md5List)}};
    Trigger(ID_FILE_SAVE_AS);
    const std::string md5Text = test::ReadBytes(md5List);
    EXPECT_EQ(md5Text.find("; Hash:"), std::string::npos) << "an .md5 list has no header";
    EXPECT_NE(md5Text.find(Utf16ToUtf8(EngineHash(QM_HASH_MD5, same)) + "\t\tsame.txt\r\n"), std::string::npos);
    frame.reset();

    const std::u16string before = EngineHash(QM_HASH_MD5, changed);
    dir.Write("data/sub/changed.txt", "after!");
    fs::remove(deleted);
    MakeFrame();
    EXPECT_EQ(Model().GetFileCount(), 0);
    prompts.fileAnswers = {std::vector<std::u16string>{U(md5List)}};
    Trigger(ID_FILE_OPEN);
    ASSERT_EQ(Model().GetFileCount(), 3);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("list - 栎弦文件校验工具"));
    EXPECT_EQ(Cell(changed, 3), before) << "the stored hash";

    Trigger(ID_TASK_VERIFY_ALL);
    WaitForIdle();
    EXPECT_EQ(Cell(same, 4), u"文件检查正确");
    EXPECT_EQ(Cell(changed, 4), u"新文件HASH值:" + EngineHash(QM_HASH_MD5, changed));
    const CQmQuorviaItem* gone = ItemOf(deleted);
    ASSERT_TRUE(gone);
    EXPECT_FALSE(gone->GetError().empty());
    EXPECT_EQ(Cell(deleted, 4), gone->GetError());
    EXPECT_EQ(chimes, 2);
}

TEST_F(MainFrameTest, StopDuringALargeEnumerationKeepsTheFilesFoundSoFar) {
    MakeFrame();
    for (int d = 0; d < 80; ++d) {
        for (int f = 0; f < 100; ++f) dir.Write("big/d" + std::to_string(d) + "/f" + std::to_string(f), "1234");
    }
    taskPaths = {U(dir / "big")};
    Trigger(ID_FILE_NEW);
    Trigger(ID_TASK_STOP);
    WaitForIdle();
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    EXPECT_EQ(frame->PaneText(kPaneProgress), QStringLiteral("用户已取消"));
    EXPECT_LT(document.GetItemCount(), 8000u);
    EXPECT_EQ(static_cast<size_t>(Model().GetFileCount()), document.GetItemCount());
    EXPECT_EQ(frame->PaneText(kPaneTotals), Q(FormatTotalsText(document.GetItemCount(), document.GetTotalBytes())));
    EXPECT_EQ(document.GetTotalBytes(), 4 * document.GetItemCount());
    EXPECT_FALSE(frame->IsProgressTimerActive());
    EXPECT_FALSE(frame->Action(ID_TASK_STOP)->isEnabled());
    EXPECT_EQ(chimes, 0) << "no hashing ran";
    for (CQmQuorviaItem* item : Model().List().ItemsInRowOrder()) EXPECT_FALSE(item->HasHash());
}

TEST_F(MainFrameTest, StopDuringHashingShowsTheSummaryAndLeavesTheRestUnhashed) {
    MakeFrame();
    for (int i = 0; i < 6; ++i) MakeSparse(dir / ("big/f" + std::to_string(i)), 128 << 20);
    taskPaths = {U(dir / "big")};
    Trigger(ID_FILE_NEW);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return frame->Logic().GetRunner().GetPhase() == CQmTaskRunner::Phase::Hashing; }, 60'000));
    frame->Logic().OnProgressTick();
    EXPECT_TRUE(frame->PaneText(kPaneProgress).startsWith(QStringLiteral("正在计算文件哈希，已用时：")));
    Trigger(ID_TASK_STOP);
    WaitForIdle();
    EXPECT_TRUE(frame->PaneText(kPaneProgress).startsWith(QStringLiteral("耗时：")));
    EXPECT_EQ(chimes, 1);
    int unhashed = 0;
    for (CQmQuorviaItem* item : Model().List().ItemsInRowOrder()) {
        if (item->HasHash()) continue;
        ++unhashed;
        EXPECT_EQ(Model().List().CellText(item, 3), item->GetError());
    }
    EXPECT_GT(unhashed, 0);
}

TEST_F(MainFrameTest, NewTaskWhileRunningRefusesAndKeepsThePendingPaths) {
    MakeFrame();
    dir.Write("a.txt", "abc");
    const fs::path list = dir.Write("list.sha1", "A9993E364706816ABA3E25717850C26C9CD0D89D *a.txt\r\n");
    // Only local files are taken.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://x/y"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    // Dropped onto the window: probed, then opened.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(list.string())), QUrl(QStringLiteral("https://x/y"))});
    frame->show();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &drop);
    ASSERT_EQ(Model().GetFileCount(), 1);
    EXPECT_EQ(frame->Logic().GetPendingPaths(), std::vector<std::u16string>{U(list)});

    Trigger(ID_TASK_VERIFY_ALL);
    ASSERT_TRUE(frame->Logic().IsRunning());
    frame->Action(ID_FILE_NEW)->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u"当前正在计算文件校验，因此暂不能创建新的任务。");
    EXPECT_EQ(prompts.boxes[0].caption, kAppName);
    EXPECT_EQ(prompts.boxes[0].flags, MB_ICONINFORMATION);
    EXPECT_TRUE(dialogInitialPaths.empty());
    WaitForIdle();
    EXPECT_EQ(Cell(dir / "a.txt", 4), u"文件检查正确");

    taskPaths.clear();  // the dialog is cancelled
    Trigger(ID_FILE_NEW);
    ASSERT_EQ(dialogInitialPaths.size(), 1u);
    EXPECT_EQ(dialogInitialPaths[0], std::vector<std::u16string>{U(list)});
}

TEST_F(MainFrameTest, TheRealNewTaskDialogHandsOverItsChoice) {
    CMainFrameOptions options;
    options.completionSound = [this] { ++chimes; };
    frame = std::make_unique<CMainFrame>(std::move(options));
    const fs::path file = dir.Write("one/file.bin", "payload");
    // The dialog runs modally; the test acts on it once it is up.
    QTimer::singleShot(0, [&file] {
        auto* dialog = qobject_cast<CQmNewHashDlg*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->AddPath(U(file), false);
        dialog->AlgorithmCombo()->setCurrentText(QStringLiteral("CRC32"));
        dialog->accept();
    });
    Trigger(ID_FILE_NEW);
    WaitForIdle();
    EXPECT_EQ(GetQuorviaDoc().GetRootDir(), U(dir / "one"));
    EXPECT_EQ(Cell(file, 3), EngineHash(QM_HASH_CRC32, file));
}

// --- closing ---------------------------------------------------------------

TEST_F(MainFrameTest, CloseWithAModifiedDocumentAndACancelledSaveStays) {
    MakeFrame();
    dir.Write("t/a", "a");
    RunTask({dir / "t"});
    frame->show();
    QSignalSpy closed(frame.get(), &CMainFrame::closed);
    prompts.boxAnswers = {IDYES};
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(closed.count(), 0);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u"是否将更改保存到 未命名 ?");
    EXPECT_EQ(prompts.boxes[0].flags, MB_YESNOCANCEL);
    ASSERT_EQ(prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(prompts.fileDialogs[0].title, u"保存文件校验");

    prompts.boxAnswers = {IDNO};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(MainFrameTest, CloseWhileHashingEndsEveryThreadBeforeTheWindowGoes) {
    MakeFrame();
    for (int i = 0; i < 8; ++i) MakeSparse(dir / ("big/f" + std::to_string(i)), 256 << 20);
    frame->show();
    ASSERT_EQ(test::WorkerThreadCount(), 0u);
    taskPaths = {U(dir / "big")};
    Trigger(ID_FILE_NEW);
    // The phase turns to hashing when the thread objects exist; the threads
    // name themselves a moment later.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return frame->Logic().GetRunner().GetPhase() == CQmTaskRunner::Phase::Hashing &&
                   test::WorkerThreadCount() >= 2;
        },
        60'000))
        << "reader and hasher";

    QSignalSpy closed(frame.get(), &CMainFrame::closed);
    prompts.boxAnswers = {IDOK};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(closed.count(), 1);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u"文件还在处理中，是否不保存直接退出?");
    EXPECT_EQ(prompts.boxes[0].flags, MB_OKCANCEL | MB_ICONWARNING);
    // Messages still arriving start nothing.
    QCoreApplication::processEvents();
    EXPECT_EQ(chimes, 0);

    frame.reset();
    EXPECT_TRUE(test::NoWorkerThreadsLeft()) << "a worker outlived the window";
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    ASSERT_EQ(document.GetItemCount(), 8u);
    for (size_t i = 0; i < document.GetItemCount(); ++i) {
        EXPECT_EQ(document.GetItemAt(i)->GetLength(), uint64_t{256} << 20);
    }
}

}  // namespace
}  // namespace qm
