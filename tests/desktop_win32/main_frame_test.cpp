// The Windows program's main window, made for real in the test's process and
// driven by messages, as a user drives it: a new task over a tree, saving
// (the same bytes quorvia-cli.exe writes), opening the list again and
// verifying it after a change and a deletion, stopping, closing, the command
// line, folding and sorting. Boxes and file dialogs are answered through the
// prompt interface, except in the one test that answers the system's own
// message box and save dialog from a timer.
#include "desktop_win32/main_frame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "common/utf.h"
#include "desktop/command_ids.h"
#include "desktop/fake_prompts.h"
#include "desktop_win32/win32_prompts.h"
#include "desktop_win32/win32_test_util.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/task_paths.h"
#include "engines/hash_object.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::FakePrompts;
using test::ListColumn;
using test::ListText;
using test::PumpUntil;
using test::StatusText;
using test::WindowText;
using win32::CMainFrame;
using win32::CMainFrameOptions;

std::u16string U(const fs::path& path) { return path.u16string(); }

class MainFrameTest : public ::testing::Test {
protected:
    void TearDown() override {
        frame_.reset();
        test::DropQuit();
        GetQuorviaDoc().Clear();
    }

    // The real frame; the new-task dialog answers with `taskPaths_` as its
    // own checks would hand them over, and records what it opened with.
    void Create(std::vector<std::u16string> arguments = {}) {
        CMainFrameOptions options;
        options.arguments = std::move(arguments);
        options.clock = [this] { return now_; };
        options.completionSound = [this] { ++sounds_; };
        options.newTaskDialog = [this](CMainFrame&, const std::vector<std::u16string>& initial,
                                       QmNewTaskChoice& choice) {
            dialogPaths_.push_back(initial);
            if (taskPaths_.empty()) return false;
            const QmTaskPathCheck check = CheckTaskPaths(taskPaths_);
            if (check.status != QmTaskPathStatus::Ok) return false;
            choice.algorithmId = QM_HASH_SHA1;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return true;
        };
        frame_ = std::make_unique<CMainFrame>(std::move(options));
        ASSERT_TRUE(frame_->CreateFrame(SW_SHOWNOACTIVATE));
        test::PumpPending();
    }
    HWND Frame() const { return frame_->GetHwnd(); }
    HWND List() const { return frame_->GetListWindow(); }
    void Command(UINT id) { SendMessageW(Frame(), WM_COMMAND, id, 0); }
    // Runs the task that is going to its end.
    void RunToEnd() {
        ASSERT_TRUE(PumpUntil([this] { return !frame_->Logic().IsRunning(); })) << "the task did not end";
        test::PumpPending();
    }
    void NewTask(const std::vector<fs::path>& paths) {
        taskPaths_.clear();
        for (const fs::path& path : paths) taskPaths_.push_back(U(path));
        if (GetQuorviaDoc().IsModified()) prompts_.boxAnswers.push_back(IDNO);
        Command(ID_FILE_NEW);
        RunToEnd();
    }
    // The row of the file named `name`, or -1.
    int RowOf(std::u16string_view name) const {
        const std::vector<std::u16string> names = ListColumn(List(), 0);
        for (size_t row = 0; row < names.size(); ++row) {
            if (names[row] == name) return static_cast<int>(row);
        }
        return -1;
    }

    test::TempDir dir_;
    FakePrompts prompts_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::u16string> taskPaths_;
    std::vector<std::vector<std::u16string>> dialogPaths_;
    uint64_t now_ = 1'000'000;
    int sounds_ = 0;
};

TEST_F(MainFrameTest, ANewTaskListsTheTreeByDirectoryAndSavesWhatTheCommandLineWrites) {
    dir_.Write("tree/top.bin", "top");
    dir_.Write("tree/a/2.txt", "two");
    dir_.Write("tree/a/10.txt", "ten");
    dir_.Write("tree/b/one.txt", "one");
    Create();
    EXPECT_EQ(WindowText(Frame()), u"未命名 - 栎弦文件校验工具");
    NewTask({dir_.path() / "tree"});

    // A header per directory in order of first appearance, its files sorted
    // by name under it; the column shows the algorithm.
    const std::u16string tree = U(dir_.path() / "tree");
    const std::vector<std::u16string> expected = {tree,         u"top.bin", tree + u"\\a", u"2.txt",
                                                  u"10.txt",    tree + u"\\b", u"one.txt"};
    EXPECT_EQ(ListColumn(List(), 0), expected);
    EXPECT_EQ(ListText(List(), RowOf(u"one.txt"), 3), u"FE05BCDCDC4928012781A5F1A2A77CBB5398E106");
    EXPECT_EQ(ListText(List(), 0, 3), u"") << "a header row shows its directory only";
    EXPECT_EQ(StatusText(frame_->GetStatusBar(), 1).rfind(u"耗时：", 0), 0u);
    EXPECT_EQ(StatusText(frame_->GetStatusBar(), 2), u"文件总数: 4 个 , 总大小: 12 字节");
    EXPECT_EQ(sounds_, 1);

    // Saved, the list is byte for byte what quorvia-cli.exe writes.
    const fs::path saved = dir_.path() / "gui.sha1";
    prompts_.fileAnswers.push_back(std::vector<std::u16string>{U(saved)});
    Command(ID_FILE_SAVE);
    EXPECT_EQ(WindowText(Frame()), u"gui - 栎弦文件校验工具");
    const fs::path written = dir_.path() / "cli.sha1";
    const test::CliResult cli = test::RunCli({"hash", "-a", "sha1", "-o", test::Utf8Path(written),
                                              test::Utf8Path(dir_.path() / "tree")});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_EQ(test::ReadBytes(saved), test::ReadBytes(written));
}

TEST_F(MainFrameTest, AnOpenedListIsVerifiedAfterAChangeAndADeletion) {
    const fs::path same = dir_.Write("data/same.txt", "same");
    const fs::path changed = dir_.Write("data/changed.txt", "before");
    const fs::path gone = dir_.Write("data/gone.txt", "gone");
    const fs::path list = dir_.path() / "data.sha1";
    ASSERT_EQ(test::RunCli({"hash", "-a", "sha1", "-o", test::Utf8Path(list), test::Utf8Path(dir_.path() / "data")})
                  .exitCode,
              0);
    // A list on the command line opens at start.
    Create({U(list)});
    EXPECT_EQ(WindowText(Frame()), u"data - 栎弦文件校验工具");
    EXPECT_EQ(test::ListCount(List()), 4);
    EXPECT_TRUE(dialogPaths_.empty());

    dir_.Write("data/changed.txt", "after");
    fs::remove(gone);
    Command(ID_TASK_VERIFY_ALL);
    RunToEnd();
    EXPECT_EQ(ListText(List(), RowOf(u"same.txt"), 4), u"文件检查正确");
    EXPECT_EQ(ListText(List(), RowOf(u"changed.txt"), 4), u"新文件HASH值:405906C9D5BE6AE5393CA65FB0E7C38E0D585ECB");
    const std::u16string missing = ListText(List(), RowOf(u"gone.txt"), 4);
    EXPECT_EQ(missing.rfind(u"打开文件", 0), 0u) << Utf16ToUtf8(missing);
    EXPECT_EQ(ListText(List(), RowOf(u"changed.txt"), 3).size(), 40u) << "the stored hash stays in its column";
    (void)same;
    (void)changed;
}

TEST_F(MainFrameTest, AFolderOnTheCommandLineOpensTheNewTaskDialogWithIt) {
    const fs::path folder = dir_.path() / "in";
    fs::create_directories(folder);
    Create({U(folder), u"/switch", u"-x"});
    ASSERT_TRUE(PumpUntil([this] { return !dialogPaths_.empty(); }, 10));
    EXPECT_EQ(dialogPaths_[0], (std::vector<std::u16string>{U(folder)}));
}

TEST_F(MainFrameTest, StopDuringTheEnumerationAndDuringHashing) {
    for (int d = 0; d < 30; ++d) {
        for (int f = 0; f < 100; ++f) dir_.Write("many/d" + std::to_string(d) + "/f" + std::to_string(f), "x");
    }
    Create();
    taskPaths_ = {U(dir_.path() / "many")};
    Command(ID_FILE_NEW);
    EXPECT_TRUE(frame_->Logic().IsRunning());
    EXPECT_NE(SendMessageW(frame_->GetToolbar(), TB_ISBUTTONENABLED, ID_TASK_STOP, 0), 0);
    EXPECT_EQ(test::MenuItemState(Frame(), ID_TASK_VERIFY_ALL) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    Command(ID_TASK_STOP);
    RunToEnd();
    EXPECT_EQ(StatusText(frame_->GetStatusBar(), 1), u"用户已取消");
    EXPECT_EQ(SendMessageW(frame_->GetToolbar(), TB_ISBUTTONENABLED, ID_TASK_STOP, 0), 0);

    // A large file: stopped before or while it is read, it keeps no hash
    // (and says so when its reading had begun).
    const fs::path big = dir_.path() / "big/disc.iso";
    fs::create_directories(big.parent_path());
    { std::ofstream touch(big); }
    fs::resize_file(big, 8ull << 30);
    dir_.Write("big/small.txt", "small");
    taskPaths_ = {U(dir_.path() / "big")};
    prompts_.boxAnswers.push_back(IDNO);
    Command(ID_FILE_NEW);
    ASSERT_TRUE(PumpUntil([this] { return frame_->Logic().GetRunner().GetPhase() == CQmTaskRunner::Phase::Hashing; }));
    Command(ID_TASK_STOP);
    RunToEnd();
    EXPECT_EQ(StatusText(frame_->GetStatusBar(), 1).rfind(u"耗时：", 0), 0u);
    const std::u16string stopped = ListText(List(), RowOf(u"disc.iso"), 3);
    EXPECT_TRUE(stopped.empty() || stopped == u"用户已取消") << Utf16ToUtf8(stopped);
}

TEST_F(MainFrameTest, FoldingTheGroupsAndSortingBySizeTwice) {
    dir_.Write("s/a/big", std::string(300, 'b'));
    dir_.Write("s/a/small", std::string(10, 's'));
    dir_.Write("s/a/mid", std::string(100, 'm'));
    dir_.Write("s/b/only", "o");
    Create();
    NewTask({dir_.path() / "s"});
    const std::u16string root = U(dir_.path() / "s");
    EXPECT_EQ(ListColumn(List(), 0), (std::vector<std::u16string>{root + u"\\a", u"big", u"mid", u"small",
                                                                   root + u"\\b", u"only"}));

    // A click on a header folds its group; the menu's commands fold all.
    test::ClickRow(List(), 0);
    EXPECT_EQ(ListColumn(List(), 0), (std::vector<std::u16string>{root + u"\\a", root + u"\\b", u"only"}));
    EXPECT_TRUE(test::SelectedRows(List()).empty()) << "a header row is never selected";
    Command(ID_VIEW_EXPAND_ALL);
    EXPECT_EQ(test::ListCount(List()), 6);
    Command(ID_VIEW_COLLAPSE_ALL);
    EXPECT_EQ(test::ListCount(List()), 2);
    // Right unfolds the focused header, Left folds it again.
    SendMessageW(List(), WM_SETFOCUS, 0, 0);
    LVITEMW focus{};
    focus.stateMask = focus.state = LVIS_FOCUSED;
    SendMessageW(List(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&focus));
    test::PressKey(List(), VK_RIGHT);
    EXPECT_EQ(test::ListCount(List()), 3);
    test::PressKey(List(), VK_LEFT);
    EXPECT_EQ(test::ListCount(List()), 2);
    Command(ID_VIEW_EXPAND_ALL);

    // A click on the size column sorts by exact sizes, a second reverses;
    // the groups stay and the header shows the arrow.
    auto clickColumn = [this](int column) {
        NMLISTVIEW click{};
        click.hdr.hwndFrom = List();
        click.hdr.idFrom = win32::kViewId;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(Frame(), WM_NOTIFY, win32::kViewId, reinterpret_cast<LPARAM>(&click));
    };
    const HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
    auto format = [header](int column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    };
    EXPECT_EQ(format(0), HDF_SORTUP);
    clickColumn(1);
    EXPECT_EQ(ListColumn(List(), 0), (std::vector<std::u16string>{root + u"\\a", u"small", u"mid", u"big",
                                                                   root + u"\\b", u"only"}));
    EXPECT_EQ(format(1), HDF_SORTUP);
    EXPECT_EQ(format(0), 0);
    clickColumn(1);
    EXPECT_EQ(ListColumn(List(), 0), (std::vector<std::u16string>{root + u"\\a", u"big", u"mid", u"small",
                                                                   root + u"\\b", u"only"}));
    EXPECT_EQ(format(1), HDF_SORTDOWN);
}

// The system's own message box and save dialog, answered from a timer: Yes
// to saving the changes, then Cancel in the save dialog, and the window
// stays.
TEST_F(MainFrameTest, ClosingWithChangesAsksAndACancelledSaveKeepsTheWindow) {
    dir_.Write("c/file", "content");
    Create();
    NewTask({dir_.path() / "c"});
    win32::CQmWin32Prompts real;
    SetUserPrompts(&real);
    struct Answers {
        int step = 0;
        std::u16string boxText;
        std::u16string dialogTitle;
    };
    static Answers answers;
    answers = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
        if (answers.step == 0) {
            if (const HWND box = FindWindowW(L"#32770", L"栎弦文件校验工具")) {
                wchar_t text[256] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 256);
                answers.boxText = win32::FromWide(text);
                PostMessageW(box, WM_COMMAND, IDYES, 0);
                answers.step = 1;
            }
        } else if (answers.step == 1) {
            if (const HWND dialog = FindWindowW(L"#32770", L"保存文件校验")) {
                answers.dialogTitle = WindowText(dialog);
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                answers.step = 2;
            }
        }
    });
    SendMessageW(Frame(), WM_CLOSE, 0, 0);
    KillTimer(nullptr, timer);
    SetUserPrompts(&prompts_);
    EXPECT_EQ(answers.step, 2);
    EXPECT_EQ(answers.boxText, u"是否将更改保存到 未命名 ?");
    EXPECT_EQ(answers.dialogTitle, u"保存文件校验");
    EXPECT_TRUE(IsWindow(Frame())) << "the window stays";
    EXPECT_TRUE(GetQuorviaDoc().IsModified());
}

// Closing while a task runs asks, stops the threads and ends the loop with
// exit code 1.
TEST_F(MainFrameTest, ClosingDuringATaskEndsTheLoopWithOne) {
    for (int f = 0; f < 2000; ++f) dir_.Write("run/f" + std::to_string(f), "x");
    Create();
    taskPaths_ = {U(dir_.path() / "run")};
    Command(ID_FILE_NEW);
    ASSERT_TRUE(frame_->Logic().IsRunning());
    prompts_.boxAnswers.push_back(IDOK);
    PostMessageW(Frame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(win32::CQmMessageLoop::ForThread().Run(), 1);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text, u"文件还在处理中，是否不保存直接退出?");
    EXPECT_FALSE(IsWindow(Frame()));
    frame_.reset();  // waits for the threads
}

}  // namespace
}  // namespace qm
