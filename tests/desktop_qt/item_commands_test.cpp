// The list view's item commands end to end, offscreen: the real main window
// and view on trees the tests make, the real task runner hashing them. The
// clipboard is read back, the context menu is opened with real events and
// read while it is up, and every box is answered by the test's prompts.
#include "desktop_qt/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/command_ids.h"
#include "desktop/find_logic.h"
#include "desktop_qt/qt_notify_target.h"
#include "common/app_info.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "document/task_paths.h"
#include "document/task_texts.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"
#include "desktop/fake_prompts.h"
#include "pipeline/notify_target.h"
#include "support/temp_dir.h"
#include "desktop_qt/find_dlg.h"
#include "desktop_qt/gui_resources.h"
#include "desktop_qt/icon_cache.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/quorvia_view.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kAppName[] = u"栎弦文件校验工具";
constexpr std::u16string_view kRemoveQuestion = u"确定删除选定的文件项吗(文件不会被删除)?";

std::u16string U(const fs::path& path) { return PathFromOs(path.string()); }
QString Q(std::u16string_view text) { return QString::fromStdU16String(std::u16string(text)); }

std::u16string ClipboardText() { return QGuiApplication::clipboard()->text().toStdU16String(); }

void MakeSparse(const fs::path& path, uint64_t size) {
    fs::create_directories(path.parent_path());
    { std::ofstream touch(path); }
    fs::resize_file(path, size);
}

// Deletes files when the enumeration's end reaches the window, before the
// hashing run starts: their rows are listed, their hashing fails, and they
// are left without a stored hash.
class DeleteBeforeHashing : public QObject {
public:
    std::vector<fs::path> doomed;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == CQmNotifyEvent::EventType() &&
            static_cast<CQmNotifyEvent*>(event)->message() == WMU_ENUM_DONE) {
            for (const fs::path& file : doomed) fs::remove(file);
            doomed.clear();
        }
        return false;
    }
};

// What a context menu showed: each entry as "text" or "text (grey)", "-" for
// a separator; the "复制" submenu's entries apart.
struct MenuShot {
    bool shown = false;
    QStringList entries;
    QStringList copyEntries;
};

QString EntryText(const QAction* action) {
    if (action->isSeparator()) return QStringLiteral("-");
    return action->isEnabled() ? action->text() : action->text() + QStringLiteral(" (grey)");
}

class ItemCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GetAppInfo().SetNames(kAppName, u"Quorvia 2.0", nullptr);
        GetAppInfo().SetTitle(kAppName);
        InitGuiResources();
        RegisterBuiltInEngines();
        CreateIconList();
    }

    void TearDown() override {
        if (frame && frame->Logic().IsRunning()) {
            frame->Logic().OnCommand(ID_TASK_STOP);
            WaitForIdle();
        }
        frame.reset();
        GetQuorviaDoc().Clear();
    }

    void MakeFrame() {
        CMainFrameOptions options;
        options.completionSound = [this] { ++chimes; };
        options.newTaskDialog = [this](CMainFrame&, const std::vector<std::u16string>&, QmNewTaskChoice& choice) {
            const QmTaskPathCheck check = CheckTaskPaths(taskPaths);
            if (check.status != QmTaskPathStatus::Ok) return false;
            choice.algorithmId = taskAlgorithm;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return true;
        };
        frame = std::make_unique<CMainFrame>(std::move(options));
        frame->installEventFilter(&deleter);
        frame->resize(1200, 600);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }

    void WaitForIdle() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->Logic().IsRunning(); }, 120'000));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }

    // Hashes the tree `root` with `algorithm`; `doomed` files are deleted
    // before their hashing.
    void RunTask(const fs::path& root, int32_t algorithm, std::vector<fs::path> doomed = {}) {
        taskPaths = {U(root)};
        taskAlgorithm = algorithm;
        deleter.doomed = std::move(doomed);
        if (GetQuorviaDoc().IsModified()) prompts.boxAnswers.push_back(IDNO);
        frame->Logic().OnCommand(ID_FILE_NEW);
        ASSERT_TRUE(frame->Logic().IsRunning());
        WaitForIdle();
        ASSERT_TRUE(deleter.doomed.empty()) << "the enumeration's end never came";
    }

    CQuorviaView& View() { return *frame->View(); }
    CQmQuorviaModel& Model() { return *frame->View()->GetModel(); }
    std::vector<CQmQuorviaItem*> Rows() { return Model().List().ItemsInRowOrder(); }
    std::u16string Cell(int row, int column) { return Model().List().CellText(Rows()[static_cast<size_t>(row)], column); }
    std::vector<std::u16string> Names() {
        std::vector<std::u16string> names;
        for (CQmQuorviaItem* item : Rows()) names.push_back(Model().List().CellText(item, QM_COLUMN_NAME));
        return names;
    }

    // Selects exactly the file rows `rows` (places in display order).
    void Select(const std::vector<int>& rows) {
        const std::vector<CQmQuorviaItem*> items = Rows();
        QItemSelection selection;
        for (int row : rows) {
            const QModelIndex first = Model().IndexOfItem(items[static_cast<size_t>(row)]);
            selection.select(first, first.siblingAtColumn(Model().columnCount() - 1));
        }
        View().selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }
    std::vector<int> SelectedRows() {
        const std::vector<CQmQuorviaItem*> items = Rows();
        std::vector<int> rows;
        for (CQmQuorviaItem* item : View().GetSelectedItems()) {
            rows.push_back(static_cast<int>(std::find(items.begin(), items.end(), item) - items.begin()));
        }
        return rows;
    }

    // Copies with command `id`; the clipboard holds a marker before, so a
    // command that copies nothing leaves the marker.
    std::u16string Copy(uint32_t id) {
        QGuiApplication::clipboard()->setText(QStringLiteral("marker"));
        View().RunItemCommand(id);
        return ClipboardText();
    }

    // Runs `open`, which should bring up the view's context menu; while it
    // is up, records it and closes it, or picks the entry `choose`. A menu
    // that does not come up is seen within a bounded number of event rounds.
    MenuShot OpenMenu(const std::function<void()>& open, const QString& choose = {}) {
        MenuShot shot;
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
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                shot.entries << EntryText(action);
                if (action->menu()) {
                    for (QAction* sub : action->menu()->actions()) shot.copyEntries << EntryText(sub);
                }
                if (!choose.isEmpty() && action->text() == choose) chosen = action;
            }
            if (chosen) {
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Return);
            }
            if (menu->isVisible()) menu->close();
        });
        look.start();
        open();
        for (int i = 0; i < 100 && look.isActive(); ++i) QCoreApplication::processEvents();
        look.stop();
        return shot;
    }

    // A right click on file row `row`.
    void RightClick(int row) {
        const QRect rect = View().visualRect(Model().IndexOfItem(Rows()[static_cast<size_t>(row)]));
        const QPoint at = rect.center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, View().viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(View().viewport(), &event);
    }

    test::TempDir dir;
    test::FakePrompts prompts;
    DeleteBeforeHashing deleter;
    std::vector<std::u16string> taskPaths;
    int32_t taskAlgorithm = QM_HASH_SHA1;
    int chimes = 0;
    std::unique_ptr<CMainFrame> frame;
};

constexpr char16_t kMd5Abc[] = u"900150983CD24FB0D6963F7D28E17F72";
constexpr char16_t kMd5Empty[] = u"D41D8CD98F00B204E9800998ECF8427E";
constexpr char16_t kSha1Abc[] = u"A9993E364706816ABA3E25717850C26C9CD0D89D";
constexpr char16_t kSha1Empty[] = u"DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";

TEST_F(ItemCommandsTest, CopyTextsOfOneAndOfThreeRowsAndTheMd5Arrays) {
    MakeFrame();
    const fs::path a = dir.Write("t/a.txt", "abc");
    const fs::path b = dir.Write("t/b.txt", "gone before hashing");
    const fs::path c = dir.Write("t/c.txt", "");
    RunTask(dir / "t", QM_HASH_MD5, {b});
    ASSERT_EQ(Names(), (std::vector<std::u16string>{u"a.txt", u"b.txt", u"c.txt"}));
    ASSERT_EQ(Cell(0, QM_COLUMN_HASH), kMd5Abc);
    ASSERT_EQ(Cell(2, QM_COLUMN_HASH), kMd5Empty);
    ASSERT_FALSE(Rows()[1]->HasHash());
    const std::u16string failure = Cell(1, QM_COLUMN_HASH);
    ASSERT_FALSE(failure.empty()) << "the failed row shows why";

    Select({0});
    EXPECT_EQ(Copy(ID_COPY_NAME), u"a.txt");
    EXPECT_EQ(Copy(ID_COPY_PATH), U(a));
    EXPECT_EQ(Copy(ID_COPY_HASH_TEXT), kMd5Abc);
    EXPECT_EQ(Copy(ID_COPY_HASH_CODE),
              u"const unsigned char MD5_1[16] = "
              u"{0x90,0x01,0x50,0x98,0x3C,0xD2,0x4F,0xB0,0xD6,0x96,0x3F,0x7D,0x28,0xE1,0x7F,0x72};");
    EXPECT_EQ(Copy(ID_COPY_LINK), u"marker") << "links are for 115 lists only";

    Select({0, 1, 2});
    EXPECT_EQ(Copy(ID_COPY_NAME), u"a.txt\r\nb.txt\r\nc.txt");
    EXPECT_EQ(Copy(ID_COPY_PATH), U(a) + u"\r\n" + U(b) + u"\r\n" + U(c));
    EXPECT_EQ(Copy(ID_COPY_HASH_TEXT), std::u16string(kMd5Abc) + u"\r\n" + failure + u"\r\n" + kMd5Empty);
    // The failed row's message makes no array; the two hashed rows are
    // numbered 1 and 2.
    EXPECT_EQ(Copy(ID_COPY_HASH_CODE),
              u"const unsigned char MD5_1[16] = "
              u"{0x90,0x01,0x50,0x98,0x3C,0xD2,0x4F,0xB0,0xD6,0x96,0x3F,0x7D,0x28,0xE1,0x7F,0x72};\r\n"
              u"\r\n"
              u"const unsigned char MD5_2[16] = "
              u"{0xD4,0x1D,0x8C,0xD9,0x8F,0x00,0xB2,0x04,0xE9,0x80,0x09,0x98,0xEC,0xF8,0x42,0x7E};");
    EXPECT_EQ(Copy(ID_COPY_LINK), u"marker");

    // The selection's order is the rows', not the order they were picked in;
    // a selected group row stands for nothing.
    const QModelIndex group = Model().IndexOfItem(Rows()[0]).parent();
    QItemSelection picked;
    for (int row : {2, 0}) {
        const QModelIndex index = Model().IndexOfItem(Rows()[static_cast<size_t>(row)]);
        picked.select(index, index.siblingAtColumn(4));
    }
    picked.select(group, group.siblingAtColumn(4));
    View().selectionModel()->select(picked, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(Copy(ID_COPY_NAME), u"a.txt\r\nc.txt");
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(ItemCommandsTest, Crc32MenuHasNoLinkEntryAndItsArrayFollowsTheShownText) {
    MakeFrame();
    dir.Write("t/a.txt", "abc");
    dir.Write("t/b.txt", "b");
    RunTask(dir / "t", QM_HASH_CRC32);
    ASSERT_EQ(Cell(0, QM_COLUMN_HASH), u"352441C2");

    Select({0});
    // The text's byte order, not the digest's little-endian memory order.
    EXPECT_EQ(Copy(ID_COPY_HASH_CODE), u"const unsigned char CRC32_1[4] = {0x35,0x24,0x41,0xC2};");

    const QStringList top = {"打开文件(&O)", "浏览文件(&E)", "文件属性(&R)", "复制", "-", "校验文件", "-",
                             "删除文件项(&D)"};
    const QStringList copy = {"文件名", "文件路径", "哈希值(文本)", "哈希值(C代码)"};
    MenuShot shot = OpenMenu([this] { RightClick(0); });
    ASSERT_TRUE(shot.shown);
    EXPECT_EQ(shot.entries, top);
    EXPECT_EQ(shot.copyEntries, copy);

    // Shift+F10 opens the same menu for the current row.
    shot = OpenMenu([this] { QTest::keyClick(&View(), Qt::Key_F10, Qt::ShiftModifier); });
    ASSERT_TRUE(shot.shown);
    EXPECT_EQ(shot.entries, top);

    // A picked entry runs its command.
    shot = OpenMenu([this] { RightClick(0); }, QStringLiteral("删除文件项(&D)"));
    ASSERT_TRUE(shot.shown);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, kRemoveQuestion);
    EXPECT_EQ(Model().GetFileCount(), 2) << "cancelled";

    // No selected row, no menu; nor for a selected group row alone.
    View().selectionModel()->clearSelection();
    EXPECT_FALSE(OpenMenu([this] { RightClick(1); }).shown);
    const QModelIndex group = Model().IndexOfItem(Rows()[0]).parent();
    View().selectionModel()->select(group, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_FALSE(OpenMenu([this] { QTest::keyClick(&View(), Qt::Key_F10, Qt::ShiftModifier); }).shown);
}

TEST_F(ItemCommandsTest, Link115MenuArraysOfFortyBytesAndLinks) {
    MakeFrame();
    dir.Write("t/a.txt", "abc");
    const fs::path b = dir.Write("t/b.txt", "gone before hashing");
    dir.Write("t/c.txt", "");
    RunTask(dir / "t", QM_HASH_115, {b});
    ASSERT_EQ(Names(), (std::vector<std::u16string>{u"a.txt", u"b.txt", u"c.txt"}));
    // Whole-file SHA-1 and the SHA-1 of the first 128 KiB: the same for a
    // small file.
    ASSERT_EQ(Cell(0, QM_COLUMN_HASH), std::u16string(kSha1Abc) + u"|" + kSha1Abc);
    ASSERT_FALSE(Rows()[1]->HasHash());

    Select({0});
    const MenuShot shot = OpenMenu([this] { RightClick(0); });
    ASSERT_TRUE(shot.shown);
    EXPECT_EQ(shot.copyEntries, QStringList({"文件名", "文件路径", "哈希值(文本)", "哈希值(C代码)", "文件链接"}));

    const std::u16string abcBytes = u"0xA9,0x99,0x3E,0x36,0x47,0x06,0x81,0x6A,0xBA,0x3E,"
                                    u"0x25,0x71,0x78,0x50,0xC2,0x6C,0x9C,0xD0,0xD8,0x9D";
    const std::u16string emptyBytes = u"0xDA,0x39,0xA3,0xEE,0x5E,0x6B,0x4B,0x0D,0x32,0x55,"
                                      u"0xBF,0xEF,0x95,0x60,0x18,0x90,0xAF,0xD8,0x07,0x09";
    EXPECT_EQ(Copy(ID_COPY_HASH_CODE),
              u"const unsigned char 115网盘_1[40] = {" + abcBytes + u"," + abcBytes + u"};");
    EXPECT_EQ(Copy(ID_COPY_LINK), std::u16string(u"115://a.txt|3|") + kSha1Abc + u"|" + kSha1Abc);

    Select({0, 1, 2});
    EXPECT_EQ(Copy(ID_COPY_HASH_CODE), u"const unsigned char 115网盘_1[40] = {" + abcBytes + u"," + abcBytes +
                                           u"};\r\n\r\nconst unsigned char 115网盘_2[40] = {" + emptyBytes + u"," +
                                           emptyBytes + u"};");
    // The row without a hash has no link and leaves no empty line.
    EXPECT_EQ(Copy(ID_COPY_LINK), std::u16string(u"115://a.txt|3|") + kSha1Abc + u"|" + kSha1Abc +
                                      u"\r\n115://c.txt|0|" + kSha1Empty + u"|" + kSha1Empty);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(ItemCommandsTest, WhileATaskRunsVerifyAndRemoveAreGreyAndRemoveTakesNothing) {
    MakeFrame();
    for (int i = 0; i < 4; ++i) MakeSparse(dir / ("t/big" + std::to_string(i)), uint64_t{512} << 20);
    dir.Write("t/small.txt", "abc");
    const fs::path list = dir.Write("t/list.md5", std::string("0123456789ABCDEF0123456789ABCDEF *big0\r\n"
                                                             "0123456789ABCDEF0123456789ABCDEF *big1\r\n"
                                                             "0123456789ABCDEF0123456789ABCDEF *big2\r\n"
                                                             "0123456789ABCDEF0123456789ABCDEF *big3\r\n"
                                                             "900150983CD24FB0D6963F7D28E17F72 *small.txt\r\n"));
    prompts.fileAnswers = {std::vector<std::u16string>{U(list)}};
    frame->Logic().OnCommand(ID_FILE_OPEN);
    ASSERT_EQ(Model().GetFileCount(), 5);
    Select({0, 1, 2, 3, 4});

    frame->Logic().OnCommand(ID_TASK_VERIFY_ALL);
    ASSERT_TRUE(GetQuorviaDoc().IsBusy());
    // No event is handled between these lines and the pass's start, so the
    // pass is still running.
    View().RunItemCommand(ID_ITEM_REMOVE);
    EXPECT_TRUE(prompts.boxes.empty()) << "no question while the workers hold the items";
    EXPECT_EQ(Model().GetFileCount(), 5);
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 5u);

    const MenuShot shot = OpenMenu([this] { RightClick(4); });
    ASSERT_TRUE(shot.shown);
    EXPECT_EQ(shot.entries, QStringList({"打开文件(&O)", "浏览文件(&E)", "文件属性(&R)", "复制", "-",
                                         "校验文件 (grey)", "-", "删除文件项(&D) (grey)"}));
    EXPECT_EQ(shot.copyEntries, QStringList({"文件名", "文件路径", "哈希值(文本)", "哈希值(C代码)"}));

    frame->Logic().OnCommand(ID_TASK_STOP);
    WaitForIdle();
    EXPECT_FALSE(GetQuorviaDoc().IsBusy());
    const MenuShot after = OpenMenu([this] { RightClick(4); });
    ASSERT_TRUE(after.shown);
    EXPECT_EQ(after.entries, QStringList({"打开文件(&O)", "浏览文件(&E)", "文件属性(&R)", "复制", "-", "校验文件",
                                          "-", "删除文件项(&D)"}));
}

TEST_F(ItemCommandsTest, RemovingThreeAdjacentRowsAsksAndTakesRowsAndItemsOnly) {
    MakeFrame();
    const std::vector<fs::path> files = {dir.Write("t/1.txt", "1"), dir.Write("t/2.txt", "22"),
                                         dir.Write("t/3.txt", "333"), dir.Write("t/4.txt", "4444"),
                                         dir.Write("t/5.txt", "55555")};
    RunTask(dir / "t", QM_HASH_SHA1);
    ASSERT_EQ(Names(), (std::vector<std::u16string>{u"1.txt", u"2.txt", u"3.txt", u"4.txt", u"5.txt"}));
    prompts.fileAnswers = {std::vector<std::u16string>{U(dir / "t/list.txt")}};
    frame->Logic().OnCommand(ID_FILE_SAVE);
    ASSERT_FALSE(GetQuorviaDoc().IsModified());
    const QString totalsBefore = frame->PaneText(kPaneTotals);
    ASSERT_EQ(totalsBefore, Q(FormatTotalsText(5, 15)));

    Select({1, 2, 3});
    prompts.boxAnswers = {IDCANCEL};
    View().RunItemCommand(ID_ITEM_REMOVE);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, kRemoveQuestion);
    EXPECT_EQ(prompts.boxes[0].flags, MB_OKCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(prompts.boxes[0].caption, kAppName);
    QCoreApplication::processEvents();
    EXPECT_EQ(Model().GetFileCount(), 5);
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 5u);
    EXPECT_FALSE(GetQuorviaDoc().IsModified());
    EXPECT_EQ(frame->PaneText(kPaneTotals), totalsBefore);

    prompts.boxAnswers = {IDOK};
    View().RunItemCommand(ID_ITEM_REMOVE);
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].text, kRemoveQuestion);
    QCoreApplication::processEvents();  // the frame's part, posted
    EXPECT_EQ(Names(), (std::vector<std::u16string>{u"1.txt", u"5.txt"}));
    EXPECT_EQ(Model().GetFileCount(), 2);
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    ASSERT_EQ(document.GetItemCount(), 2u);
    EXPECT_EQ(document.GetItemAt(0)->GetPath(), U(files[0]));
    EXPECT_EQ(document.GetItemAt(1)->GetPath(), U(files[4]));
    EXPECT_EQ(document.GetFileCount(), 2u);
    EXPECT_EQ(document.GetTotalBytes(), 6u);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(frame->PaneText(kPaneTotals), Q(FormatTotalsText(2, 6)));
    EXPECT_TRUE(frame->windowTitle().startsWith(QStringLiteral("list"))) << frame->windowTitle().toStdString();
    for (const fs::path& file : files) EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_TRUE(View().GetSelectedItems().empty());
}

TEST_F(ItemCommandsTest, VerifySelectedChecksOnlyTheSelectedRowsWithAStoredHash) {
    MakeFrame();
    dir.Write("t/a.txt", "abc");
    const fs::path b = dir.Write("t/b.txt", "gone before hashing");
    dir.Write("t/c.txt", "c");
    dir.Write("t/d.txt", "d");
    RunTask(dir / "t", QM_HASH_MD5, {b});
    ASSERT_EQ(Names(), (std::vector<std::u16string>{u"a.txt", u"b.txt", u"c.txt", u"d.txt"}));
    ASSERT_FALSE(Rows()[1]->HasHash());
    // Back on disk: verifying it by mistake would now show a result.
    dir.Write("t/b.txt", "back again");
    const std::u16string bHash = Cell(1, QM_COLUMN_HASH);
    for (int row = 0; row < 4; ++row) ASSERT_EQ(Cell(row, QM_COLUMN_VERIFY), u"") << row;
    ASSERT_EQ(chimes, 1);

    Select({0, 1, 2});
    View().RunItemCommand(ID_ITEM_VERIFY);
    // The pass starts from the frame's posted command and ends with a chime.
    ASSERT_TRUE(QTest::qWaitFor([this] { return chimes == 2 && !frame->Logic().IsRunning(); }, 60'000));
    QCoreApplication::processEvents();
    EXPECT_EQ(Cell(0, QM_COLUMN_VERIFY), u"文件检查正确");
    EXPECT_EQ(Cell(2, QM_COLUMN_VERIFY), u"文件检查正确");
    EXPECT_EQ(Cell(1, QM_COLUMN_VERIFY), u"") << "no stored hash, not verified";
    EXPECT_EQ(Cell(1, QM_COLUMN_HASH), bHash);
    EXPECT_EQ(Cell(3, QM_COLUMN_VERIFY), u"") << "not selected";
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(ItemCommandsTest, FindThroughTheDialogAndF3) {
    MakeFrame();
    for (const char* name : {"a1.dat", "abc", "abc.txt", "b2.dat", "md5.txt", "z.bin"}) {
        dir.Write(std::string("t/") + name, std::string("content of ") + name);
    }
    RunTask(dir / "t", QM_HASH_MD5);
    ASSERT_EQ(Names(), (std::vector<std::u16string>{u"a1.dat", u"abc", u"abc.txt", u"b2.dat", u"md5.txt", u"z.bin"}));
    // Column 4: "文件检查正确" for all but z.bin, whose new hash shows.
    dir.Write("t/z.bin", "changed");
    frame->Logic().OnCommand(ID_TASK_VERIFY_ALL);
    WaitForIdle();
    ASSERT_TRUE(Cell(5, QM_COLUMN_VERIFY).starts_with(u"新文件HASH值:"));
    ASSERT_EQ(Cell(4, QM_COLUMN_VERIFY), u"文件检查正确");

    // F3 before any search opens the dialog.
    View().selectionModel()->clearSelection();
    frame->Logic().OnCommand(ID_EDIT_REPEAT);
    CQmFindDlg* dialog = View().GetFindDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(SelectedRows().empty());

    size_t boxes = 0;
    const auto search = [&](const char16_t* text, std::vector<int> selected) {
        Select(selected);
        dialog->TextEdit()->setText(Q(text));
        QTest::mouseClick(dialog->FindNextButton(), Qt::LeftButton);
    };
    // True when the search ended with the finished box, owned by the dialog.
    const auto ended = [&] {
        if (prompts.boxes.size() != boxes + 1) return false;
        const QmMessageBoxRequest& box = prompts.boxes[boxes++];
        return box.text == kFindFinishedText && box.flags == MB_ICONINFORMATION &&
               box.owner == static_cast<QWidget*>(dialog);
    };

    // Without a selection down starts at row 0, which is searched itself.
    search(u"dat", {});
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    // Up without a selection ends at once and selects nothing.
    dialog->UpRadio()->setChecked(true);
    search(u"dat", {});
    EXPECT_TRUE(ended());
    EXPECT_TRUE(SelectedRows().empty());
    // Up from the last row.
    search(u"dat", {5});
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});
    dialog->DownRadio()->setChecked(true);

    // ASCII case folding unless match case is set.
    search(u"MD5", {});
    EXPECT_EQ(SelectedRows(), std::vector<int>{4});
    dialog->MatchCaseCheck()->setChecked(true);
    search(u"MD5", {0});
    EXPECT_TRUE(ended());
    EXPECT_EQ(SelectedRows(), std::vector<int>{0}) << "the selection stays";
    dialog->MatchCaseCheck()->setChecked(false);

    // Whole word: the whole cell, so "abc" finds "abc" and not "abc.txt".
    dialog->WholeWordCheck()->setChecked(true);
    search(u"abc", {});
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    QTest::mouseClick(dialog->FindNextButton(), Qt::LeftButton);
    EXPECT_TRUE(ended());
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    dialog->WholeWordCheck()->setChecked(false);

    // The hash column and the verification column are searched too.
    const std::u16string hashPart = Cell(3, QM_COLUMN_HASH).substr(8, 16);
    search(hashPart.c_str(), {});
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});
    search(u"新文件HASH", {});
    EXPECT_EQ(SelectedRows(), std::vector<int>{5});
    search(u"检查正确", {2});
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});

    // Several selected rows: the search starts after the first one, and only
    // the match stays selected.
    search(u"dat", {0, 4});
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});

    // Closed, F3 repeats the last search with its settings.
    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    Select({0});
    frame->Logic().OnCommand(ID_EDIT_REPEAT);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});
    frame->Logic().OnCommand(ID_EDIT_REPEAT);
    ASSERT_EQ(prompts.boxes.size(), boxes + 1);
    EXPECT_EQ(prompts.boxes[boxes].text, kFindFinishedText);
    EXPECT_EQ(prompts.boxes[boxes].owner, static_cast<QWidget*>(&View())) << "the dialog is closed";
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});
    // Ctrl+F opens it again with the last settings.
    frame->Logic().OnCommand(ID_EDIT_FIND);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->TextEdit()->text(), QStringLiteral("dat"));
    dialog->close();
}

TEST_F(ItemCommandsTest, OpenAndBrowseOfMissingFilesShowOneBoxWithALinePerFailure) {
    MakeFrame();
    const fs::path p = dir.Write("t/p.txt", "p");
    dir.Write("t/q.txt", "q");
    const fs::path r = dir.Write("t/r.txt", "r");
    RunTask(dir / "t", QM_HASH_SHA1);
    fs::remove(p);
    fs::remove(r);

    Select({0, 2});
    View().RunItemCommand(ID_ITEM_OPEN);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].flags, MB_ICONERROR);
    const QStringList lines = Q(prompts.boxes[0].text).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 2) << prompts.boxes[0].text.size();
    for (const QString& line : lines) EXPECT_TRUE(line.startsWith(QStringLiteral("打开文件失败"))) << line.toStdString();

    View().RunItemCommand(ID_ITEM_BROWSE);
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].flags, MB_ICONERROR);
    EXPECT_EQ(prompts.boxes[1].text,
              u"浏览文件(" + U(p) + u")失败:文件不存在。\r\n浏览文件(" + U(r) + u")失败:文件不存在。");
}

}  // namespace
}  // namespace qm
