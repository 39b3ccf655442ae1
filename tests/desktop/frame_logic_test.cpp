// The main window's logic against the real task runner, document and list
// files, with a recording host, recorded boxes and an injected clock.
#include "desktop/frame_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "desktop/command_ids.h"
#include "desktop/launch_paths.h"
#include "common/app_info.h"
#include "common/os/path_rules.h"
#include "common/formatting.h"
#include "common/utf.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/task_texts.h"
#include "document/verify_summary.h"
#include "engines/hash_object.h"
#include "engines/register_engines.h"
#include "desktop/fake_frame_host.h"
#include "desktop/fake_prompts.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::FakeFrameHost;
using test::FakePrompts;
using test::PostedMessage;
using test::QueueTarget;

constexpr char16_t kAppName[] = u"栎弦文件校验工具";

std::u16string U(const fs::path& path) { return PathFromOs(path.string()); }

void MakeSparse(const fs::path& path, uint64_t size) {
    fs::create_directories(path.parent_path());
    { std::ofstream touch(path); }
    fs::resize_file(path, size);
}

// The parts of a box a test compares: caption, text and flags.
using Box = std::tuple<std::u16string, std::u16string, uint32_t>;
Box BoxOf(const QmMessageBoxRequest& request) { return {request.caption, request.text, request.flags}; }

class FrameLogicTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterBuiltInEngines();
        GetAppInfo().SetNames(kAppName, u"Quorvia 2.0", nullptr);
        GetAppInfo().SetTitle(kAppName);
    }

    void TearDown() override {
        logic.reset();
        GetQuorviaDoc().Clear();
    }

    void Create(std::vector<std::u16string> arguments = {}) {
        logic = std::make_unique<CQmFrameLogic>(host, host, &target);
        logic->OnCreate(arguments);
    }

    // The new-task dialog answers OK with `paths`, as its own checks would
    // hand them over.
    void AnswerNewTask(std::vector<fs::path> paths, int32_t algorithm = QM_HASH_SHA1) {
        std::vector<std::u16string> texts;
        for (const fs::path& path : paths) texts.push_back(U(path));
        host.newTaskDialog = [texts, algorithm](const std::vector<std::u16string>&, QmNewTaskChoice& choice) {
            const QmTaskPathCheck check = CheckTaskPaths(texts);
            if (check.status != QmTaskPathStatus::Ok) return false;
            choice.algorithmId = algorithm;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return true;
        };
    }

    void Deliver(const PostedMessage& message) { logic->OnNotify(message.message, message.wParam, message.lParam); }

    // Hands the threads' messages to the logic until `kind` has been handled.
    void DeliverUntil(uint32_t kind) {
        ASSERT_TRUE(target.DeliverUntil(kind, [this](const PostedMessage& m) { Deliver(m); }));
    }

    // Runs the task to its end, then the messages still queued.
    void RunToEnd() {
        while (logic->IsRunning()) {
            const std::optional<PostedMessage> next = target.Take();
            ASSERT_TRUE(next) << "no end message";
            Deliver(*next);
        }
        while (const std::optional<PostedMessage> next = target.Take(std::chrono::milliseconds(0))) Deliver(*next);
    }

    void RunPostedCommands() {
        while (!host.postedCommands.empty()) {
            const uint32_t id = host.postedCommands.front();
            host.postedCommands.pop_front();
            logic->OnCommand(id);
        }
    }

    // A complete new task over `paths`; a modified document is not saved.
    void RunTask(std::vector<fs::path> paths, int32_t algorithm = QM_HASH_SHA1) {
        AnswerNewTask(std::move(paths), algorithm);
        if (GetQuorviaDoc().IsModified()) prompts.boxAnswers.push_back(IDNO);
        logic->OnCommand(ID_FILE_NEW);
        ASSERT_TRUE(logic->IsRunning());
        RunToEnd();
    }

    test::TempDir dir;
    FakePrompts prompts;
    FakeFrameHost host;
    QueueTarget target;
    std::unique_ptr<CQmFrameLogic> logic;
};

// --- command line ---------------------------------------------------------

TEST_F(FrameLogicTest, SingleListArgumentInCapitalsOpensWithoutBoxes) {
    dir.Write("data/a.bin", "");
    const fs::path list = dir.Write("data/SUMS.MD5", "D41D8CD98F00B204E9800998ECF8427E *a.bin\r\n");
    Create({U(list)});
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(host.postedCommands.empty());
    EXPECT_TRUE(logic->GetPendingPaths().empty());
    EXPECT_EQ(host.viewRows, 1u);
    EXPECT_EQ(host.title, "SUMS - 栎弦文件校验工具");
    EXPECT_EQ(host.panes[kPaneTotals], u"文件总数: 1 个 , 总大小: 0 字节");
    EXPECT_EQ(GetQuorviaDoc().GetAlgorithm(), QM_HASH_MD5);
}

TEST_F(FrameLogicTest, ListArgumentThatDoesNotParseOpensTheNewTaskDialogWithIt) {
    const fs::path notes = dir.Write("notes.txt", "just some words\n");
    Create({U(notes)});
    EXPECT_TRUE(prompts.boxes.empty()) << "the command line shows no load error";
    ASSERT_EQ(host.postedCommands, std::deque<uint32_t>{ID_FILE_NEW});
    RunPostedCommands();
    ASSERT_EQ(host.dialogInitialPaths.size(), 1u);
    EXPECT_EQ(host.dialogInitialPaths[0], std::vector<std::u16string>{U(notes)});
    EXPECT_TRUE(logic->GetPendingPaths().empty());
    EXPECT_EQ(host.viewRows, 0u);
}

TEST_F(FrameLogicTest, EmptyDashedAndMissingArgumentsAreDroppedBeforeCounting) {
    const fs::path folder = dir / "folder";
    fs::create_directories(folder);
    const fs::path list = dir.Write("one.sha1", "");
    // Without the dropped ones a single list would remain and be opened;
    // with the folder it is two paths for the new-task dialog.
    Create({u"", u"-v", u"--list=x", U(dir / "missing.txt"), U(list), U(folder)});
    EXPECT_EQ(logic->GetPendingPaths(), (std::vector<std::u16string>{U(list), U(folder)}));
    EXPECT_EQ(host.postedCommands, std::deque<uint32_t>{ID_FILE_NEW});
    EXPECT_EQ(host.viewRows, 0u);

    logic.reset();
    host.postedCommands.clear();
    Create({u"", u"-", U(dir / "gone"), u"/no-such-switch"});
    EXPECT_TRUE(logic->GetPendingPaths().empty());
    EXPECT_TRUE(host.postedCommands.empty());
}

// --- command states -------------------------------------------------------

TEST_F(FrameLogicTest, CommandStatesFollowTheRowsAndTheRunningTask) {
    Create();
    for (uint32_t id : {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_EDIT_FIND, ID_TASK_RELOCATE, ID_VIEW_COLLAPSE_ALL,
                        ID_VIEW_EXPAND_ALL, ID_TASK_VERIFY_ALL, ID_ITEM_VERIFY, ID_TASK_STOP}) {
        EXPECT_FALSE(host.Enabled(id)) << id << " with an empty list and no task";
    }
    EXPECT_TRUE(host.Checked(ID_VIEW_TOOLBAR));
    EXPECT_TRUE(host.Checked(ID_VIEW_STATUS_BAR));
    EXPECT_FALSE(host.Checked(ID_VIEW_TOPMOST));
    EXPECT_EQ(host.title, "未命名 - 栎弦文件校验工具");

    for (int i = 0; i < 5; ++i) dir.Write("tree/f" + std::to_string(i), "x");
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    EXPECT_TRUE(host.Enabled(ID_TASK_STOP));
    EXPECT_FALSE(host.Enabled(ID_TASK_VERIFY_ALL));
    EXPECT_FALSE(host.Enabled(ID_ITEM_VERIFY));
    DeliverUntil(WMU_ENUM_DONE);
    EXPECT_EQ(host.viewRows, 5u);
    EXPECT_TRUE(host.Enabled(ID_TASK_STOP)) << "hashing keeps the states the new task set";
    RunToEnd();
    for (uint32_t id : {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_EDIT_FIND, ID_TASK_RELOCATE, ID_VIEW_COLLAPSE_ALL,
                        ID_VIEW_EXPAND_ALL, ID_TASK_VERIFY_ALL, ID_ITEM_VERIFY}) {
        EXPECT_TRUE(host.Enabled(id)) << id << " with rows and no task";
    }
    EXPECT_FALSE(host.Enabled(ID_TASK_STOP));
}

TEST_F(FrameLogicTest, BarTogglesTopMostAndForwardedCommands) {
    Create();
    // Ctrl+S on an empty, unchanged list only refreshes title and commands.
    host.log.clear();
    logic->OnCommand(ID_FILE_SAVE);
    // (once by the save, once by the command after a successful save)
    EXPECT_EQ(host.log, std::vector<std::string>(2, "title 未命名 - 栎弦文件校验工具"));
    EXPECT_TRUE(prompts.fileDialogs.empty());

    logic->OnCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(host.toolbarVisible);
    EXPECT_FALSE(host.Checked(ID_VIEW_TOOLBAR));
    logic->OnCommand(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(host.toolbarVisible);
    EXPECT_TRUE(host.Checked(ID_VIEW_TOOLBAR));
    logic->OnCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(host.statusBarVisible);
    EXPECT_FALSE(host.Checked(ID_VIEW_STATUS_BAR));

    logic->OnCommand(ID_VIEW_TOPMOST);
    EXPECT_EQ(host.stayOnTop, true);
    EXPECT_TRUE(host.Checked(ID_VIEW_TOPMOST));
    logic->OnCommand(ID_VIEW_TOPMOST);
    EXPECT_EQ(host.stayOnTop, false);
    EXPECT_FALSE(host.Checked(ID_VIEW_TOPMOST));

    logic->OnCommand(ID_APP_ABOUT);
    logic->OnCommand(ID_APP_EXIT);
    EXPECT_EQ(host.aboutShown, 1);
    EXPECT_EQ(host.closeRequests, 1);

    for (uint32_t id : {ID_EDIT_FIND, ID_EDIT_REPEAT, ID_EDIT_SELECT_ALL, ID_VIEW_COLLAPSE_ALL, ID_VIEW_EXPAND_ALL,
                        ID_EDIT_COPY, ID_NEXT_PANE}) {
        logic->OnCommand(id);
    }
    EXPECT_EQ(host.viewCommands, (std::vector<uint32_t>{ID_EDIT_FIND, ID_EDIT_REPEAT, ID_EDIT_SELECT_ALL,
                                                        ID_VIEW_COLLAPSE_ALL, ID_VIEW_EXPAND_ALL, ID_EDIT_COPY,
                                                        ID_NEXT_PANE}));
    EXPECT_TRUE(prompts.boxes.empty());
}

// --- a task's steps and texts ---------------------------------------------

TEST_F(FrameLogicTest, NewTaskStepsRunInOrder) {
    Create();
    dir.Write("tree/a", "abc");
    AnswerNewTask({dir / "tree"});
    host.log.clear();
    logic->OnCommand(ID_FILE_NEW);
    EXPECT_EQ(host.panes[kPaneTotals], u"正在添加文件列表");
    RunToEnd();
    const std::vector<std::string> expected = {
        "dialog new-task", "view clear", "pane 1 ", "pane 2 ", "pane 2 正在添加文件列表", "timer start 1000",
        "view begin-add",
        // enumeration finished
        "view end-add", "view begin-hash", "taskbar state 2",
        // the totals posted when the enumeration ended
        "pane 2 文件总数: 1 个 , 总大小: 3 字节",
        // hashing finished
        "timer stop", "taskbar state 0", "view end-hash", "pane 1 耗时：0.01 秒", "front", "sound"};
    EXPECT_EQ(host.LogOf({"dialog", "view", "pane", "timer", "taskbar", "front", "sound"}), expected);
    EXPECT_FALSE(host.timerRunning);
}

TEST_F(FrameLogicTest, CompletionSummaryAtTheElapsedTimeBoundaries) {
    Create();
    dir.Write("tree/a", std::string(3000, 'q'));
    const auto average = [](uint64_t ms) { return StrFormatByteSize(3000 * 1000 / ms); };
    const std::vector<std::pair<uint64_t, std::u16string>> cases = {
        {0, u"耗时：0.01 秒"},
        {10, u"耗时：0.01 秒"},
        {199, u"耗时：0.199 秒"},
        {200, u"耗时：0.2 秒，平均速度：" + average(200) + u"/秒"},
        {59'999, u"耗时：60 秒，平均速度：" + average(59'999) + u"/秒"},
        {60'000, u"耗时：1 分 0 秒，平均速度：" + average(60'000) + u"/秒"},
    };
    for (const auto& [elapsed, summary] : cases) {
        AnswerNewTask({dir / "tree"});
        if (GetQuorviaDoc().IsModified()) prompts.boxAnswers.push_back(IDNO);
        const uint64_t start = host.now;
        logic->OnCommand(ID_FILE_NEW);
        DeliverUntil(WMU_ENUM_DONE);
        host.now = start + elapsed;
        DeliverUntil(WMU_HASH_DONE);
        EXPECT_EQ(host.panes[kPaneProgress], summary) << elapsed << " ms";
        RunToEnd();
    }
}

TEST_F(FrameLogicTest, ProgressTickShowsThePhaseAndTheSpeedAfterHalfASecond) {
    Create();
    MakeSparse(dir / "tree/big", 8 << 20);
    AnswerNewTask({dir / "tree"});
    const uint64_t start = host.now;
    logic->OnCommand(ID_FILE_NEW);
    host.now = start + 1500;
    logic->OnProgressTick();
    EXPECT_EQ(host.panes[kPaneProgress], u"正在枚举文件，已用时：1 秒");
    EXPECT_TRUE(host.taskbarValues.empty());

    DeliverUntil(WMU_ENUM_DONE);
    host.now = start + 500;
    logic->OnProgressTick();
    EXPECT_EQ(host.panes[kPaneProgress], u"正在计算文件哈希，已用时：0 秒");
    host.now = start + 501;
    logic->OnProgressTick();
    EXPECT_TRUE(host.panes[kPaneProgress].starts_with(u"正在计算文件哈希，已用时：0 秒，当前速度："));
    EXPECT_TRUE(host.panes[kPaneProgress].ends_with(u"/秒"));
    ASSERT_FALSE(host.taskbarValues.empty());
    EXPECT_EQ(host.taskbarValues.back().second, uint64_t{8} << 20);
    RunToEnd();
    // The speed of the last interval counts the bytes since the tick before.
    EXPECT_EQ(logic->GetRunner().GetProcessedBytes(), uint64_t{8} << 20);
}

TEST_F(FrameLogicTest, TotalsPaneAtTheSizeAndCountBoundaries) {
    Create();
    dir.Write("k1024/f", std::string(1024, 'a'));
    dir.Write("k1025/f", std::string(1025, 'a'));
    for (int i = 0; i < 1000; ++i) dir.Write("many/f" + std::to_string(i), "");
    RunTask({dir / "k1024"});
    EXPECT_EQ(host.panes[kPaneTotals], u"文件总数: 1 个 , 总大小: 1,024 字节");
    RunTask({dir / "k1025"});
    EXPECT_EQ(host.panes[kPaneTotals], u"文件总数: 1 个 , 总大小: 1,025 字节(1.00 KB)");
    RunTask({dir / "many"});
    EXPECT_EQ(host.panes[kPaneTotals], u"文件总数: 1,000 个 , 总大小: 0 字节");
    EXPECT_EQ(host.viewRows, 1000u);
}

// --- boxes ----------------------------------------------------------------

TEST_F(FrameLogicTest, BoxesWhileATaskRuns) {
    Create();
    MakeSparse(dir / "tree/big", 4 << 20);
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    logic->OnCommand(ID_FILE_NEW);
    logic->OnCommand(ID_FILE_OPEN);
    logic->OnDropFiles({U(dir / "tree/big")});
    EXPECT_TRUE(logic->GetPendingPaths().empty()) << "a refused drop is forgotten";
    EXPECT_FALSE(logic->QueryClose()) << "Cancel keeps the window";
    EXPECT_TRUE(logic->IsRunning());
    const std::vector<Box> expected = {
        {kAppName, u"当前正在计算文件校验，因此暂不能创建新的任务。", MB_ICONINFORMATION},
        {kAppName, u"当前正在计算文件校验，因此暂不能进行打开文件操作。", MB_ICONINFORMATION},
        {kAppName, u"当前正在计算文件校验，因此暂不能创建新的任务。", MB_ICONINFORMATION},
        {kAppName, u"文件还在处理中，是否不保存直接退出?", MB_OKCANCEL | MB_ICONWARNING},
    };
    std::vector<Box> shown;
    for (const QmMessageBoxRequest& request : prompts.boxes) shown.push_back(BoxOf(request));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(host.dialogInitialPaths.size(), 1u);
    EXPECT_TRUE(prompts.fileDialogs.empty());
    RunToEnd();
}

TEST_F(FrameLogicTest, SaveQuestionAndLoadErrorBoxes) {
    Create();
    dir.Write("tree/a", "a");
    RunTask({dir / "tree"});
    ASSERT_TRUE(GetQuorviaDoc().IsModified());

    prompts.boxAnswers = {IDCANCEL};
    EXPECT_FALSE(logic->OpenHashFile(nullptr, true));
    EXPECT_TRUE(prompts.fileDialogs.empty()) << "Cancel stops before the file dialog";

    const fs::path notAList = dir.Write("plain.txt", "no hashes in here\n");
    prompts.boxAnswers = {IDNO};
    prompts.fileAnswers = {std::vector<std::u16string>{U(notAList)}};
    EXPECT_FALSE(logic->OpenHashFile(nullptr, true));
    ASSERT_EQ(prompts.boxes.size(), 3u);
    EXPECT_EQ(BoxOf(prompts.boxes[0]), (Box{kAppName, u"是否将更改保存到 未命名 ?", MB_YESNOCANCEL}));
    EXPECT_EQ(BoxOf(prompts.boxes[1]), BoxOf(prompts.boxes[0]));
    EXPECT_EQ(prompts.boxes[2].caption, u"错误");
    EXPECT_EQ(prompts.boxes[2].flags, MB_ICONERROR);
    EXPECT_FALSE(prompts.boxes[2].text.empty());
    EXPECT_EQ(prompts.waitCursorDepth, 0);
    EXPECT_GT(prompts.waitCursorShown, 0);
}

// A list with lines no reader parses opens with the rest, names those lines
// in one box, and after a verification pane 1 says how many files are
// wrong, the unreadable lines counted as failed.
TEST_F(FrameLogicTest, UnreadableLinesAreNamedAndCountedAfterTheVerification) {
    Create();
    dir.Write("d/same", "same");
    dir.Write("d/other", "before");
    const fs::path list = dir.Write("d.sha1",
                                    "51DE2B835BD35A67EB32DBCD3D77D4B96E5AA39D  d/other\n"
                                    "not a line of any list\n"
                                    "FF3390557335BA88D37755E41514BEB03BC499EC  d/same\n"
                                    "also broken\n");
    dir.Write("d/other", "after");
    const std::u16string path = U(list);
    ASSERT_TRUE(logic->OpenHashFile(&path, true));
    EXPECT_EQ(host.viewRows, 2u);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].flags, MB_ICONWARNING);
    EXPECT_EQ(prompts.boxes[0].text, FormatUnreadableLinesText(GetQuorviaDoc().GetUnreadableLines()));
    EXPECT_NE(prompts.boxes[0].text.find(u"第 2 行"), std::u16string::npos);

    logic->OnCommand(ID_TASK_VERIFY_ALL);
    RunToEnd();
    const std::u16string& summary = host.panes[kPaneProgress];
    EXPECT_TRUE(summary.starts_with(u"耗时：")) << Utf16ToUtf8(summary);
    EXPECT_TRUE(summary.ends_with(u"，检查结果：正确 1 个，不一致 1 个，失败 2 个")) << Utf16ToUtf8(summary);
}

// --- open and save --------------------------------------------------------

TEST_F(FrameLogicTest, OpenDialogTitleAndFilters) {
    Create();
    EXPECT_FALSE(logic->OpenHashFile(nullptr, true));
    ASSERT_EQ(prompts.fileDialogs.size(), 1u);
    const QmFileDialogRequest& request = prompts.fileDialogs[0];
    EXPECT_EQ(request.mode, QmFileDialogMode::Open);
    EXPECT_EQ(request.title, u"打开文件校验");
    EXPECT_FALSE(request.multiSelect);
    const std::vector<QmFileFilter> filters = {
        {u"所有校验文件(*.txt; *.md5; *.sha1)", u"*.txt;*.md5;*.sha1"},
        {u"文本文件(*.txt)", u"*.txt"},
        {u"MD5文件(*.md5)", u"*.md5"},
        {u"SHA1文件(*.sha1)", u"*.sha1"},
        {u"所有文件(*.*)", u"*.*"},
    };
    EXPECT_EQ(request.filters, filters);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(FrameLogicTest, SaveDialogOffersTheAlgorithmsOwnFileTypeOnly) {
    Create();
    const std::u16string root = U(dir.path());
    const QmFileFilter text{u"文本文件(*.txt)", u"*.txt"};
    const QmFileFilter all{u"所有文件(*.*)", u"*.*"};
    const std::vector<std::pair<int32_t, std::vector<QmFileFilter>>> cases = {
        {QM_HASH_CRC32, {text, all}},
        {QM_HASH_MD5, {text, {u"MD5文件(*.md5)", u"*.md5"}, all}},
        {QM_HASH_SHA1, {text, {u"SHA1文件(*.sha1)", u"*.sha1"}, all}},
        {QM_HASH_SHA256, {text, all}},
    };
    for (const auto& [algorithm, filters] : cases) {
        CQmQuorviaDoc& document = GetQuorviaDoc();
        document.Clear();
        ASSERT_TRUE(document.BeginTask(root, algorithm, true));
        prompts.fileDialogs.clear();
        bool cancelled = false;
        EXPECT_FALSE(logic->SaveDocument(false, cancelled));
        EXPECT_TRUE(cancelled);
        ASSERT_EQ(prompts.fileDialogs.size(), 1u);
        const QmFileDialogRequest& request = prompts.fileDialogs[0];
        EXPECT_EQ(request.mode, QmFileDialogMode::Save);
        EXPECT_EQ(request.title, u"保存文件校验");
        EXPECT_EQ(request.filters, filters) << algorithm;
        EXPECT_EQ(request.initialPath, root + os::kPathSeparator + u"Quorvia");
        EXPECT_TRUE(request.overwritePrompt);
        EXPECT_EQ(request.defaultExtension, filters.size() == 2 ? u"txt" : u"");
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(FrameLogicTest, SaveWritesTheListAndAFailedSaveKeepsTheChanges) {
    Create();
    dir.Write("tree/a", "abc");
    RunTask({dir / "tree"});

    prompts.fileAnswers = {std::vector<std::u16string>{U(dir / "no-such-dir/list.txt")}};
    bool cancelled = true;
    EXPECT_FALSE(logic->SaveDocument(false, cancelled));
    EXPECT_FALSE(cancelled);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].flags, MB_ICONERROR);
    EXPECT_EQ(prompts.boxes[0].caption, u"错误");
    EXPECT_TRUE(GetQuorviaDoc().IsModified());

    const fs::path list = dir / "tree.txt";
    prompts.fileAnswers = {std::vector<std::u16string>{U(list)}};
    logic->OnCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(test::ReadBytes(list),
              "\xEF\xBB\xBF; Hash: SHA1\r\n\r\nA9993E364706816ABA3E25717850C26C9CD0D89D\t\ttree" + std::string(1, static_cast<char>(os::kPathSeparator)) + "a\r\n");
    EXPECT_FALSE(GetQuorviaDoc().IsModified());
    EXPECT_EQ(host.title, "tree - 栎弦文件校验工具");

    // Saved and unchanged: nothing is asked, nothing is written again.
    fs::remove(list);
    const size_t dialogs = prompts.fileDialogs.size();
    logic->OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(prompts.fileDialogs.size(), dialogs);
    EXPECT_FALSE(fs::exists(list));
}

// --- faults mended: no row outlives its item ------------------------------

TEST_F(FrameLogicTest, FailedLoadAndFailedStartEmptyTheView) {
    dir.Write("data/a.bin", "");
    const fs::path list = dir.Write("data/sums.md5", "D41D8CD98F00B204E9800998ECF8427E *a.bin\r\n");
    Create({U(list)});
    ASSERT_EQ(host.viewRows, 1u);

    const std::u16string notAList = U(dir.Write("plain.txt", "no hashes\n"));
    EXPECT_FALSE(logic->OpenHashFile(&notAList, true));
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 0u);
    EXPECT_EQ(host.viewRows, 0u) << "the rows of the destroyed items are gone";
    EXPECT_FALSE(host.Enabled(ID_FILE_SAVE));
    EXPECT_EQ(host.panes[kPaneTotals], u"文件总数: 0 个 , 总大小: 0 字节");

    const std::u16string again = U(list);
    ASSERT_TRUE(logic->OpenHashFile(&again, true));
    ASSERT_EQ(host.viewRows, 1u);
    // An algorithm the catalogue does not hold: BeginTask fails after the
    // document was cleared.
    AnswerNewTask({dir / "data"}, 99);
    prompts.boxes.clear();
    logic->OnCommand(ID_FILE_NEW);
    EXPECT_FALSE(logic->IsRunning());
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(host.viewRows, 0u);
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 0u);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].flags, MB_ICONERROR);
    EXPECT_FALSE(prompts.boxes[0].text.empty());
}

// --- pending paths and drops ----------------------------------------------

TEST_F(FrameLogicTest, NewTaskWhileRunningKeepsThePendingPaths) {
    Create();
    dir.Write("a.txt", "abc");
    const fs::path list = dir.Write("list.sha1", "A9993E364706816ABA3E25717850C26C9CD0D89D *a.txt\r\n");
    logic->OnDropFiles({U(list)});
    ASSERT_EQ(host.viewRows, 1u) << "a dropped list is opened";
    EXPECT_EQ(host.fronts, 1);
    EXPECT_TRUE(host.postedCommands.empty());
    EXPECT_EQ(logic->GetPendingPaths(), std::vector<std::u16string>{U(list)});

    logic->OnCommand(ID_TASK_VERIFY_ALL);
    ASSERT_TRUE(logic->IsRunning());
    logic->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, u"当前正在计算文件校验，因此暂不能创建新的任务。");
    EXPECT_EQ(logic->GetPendingPaths(), std::vector<std::u16string>{U(list)});
    RunToEnd();
    EXPECT_TRUE(GetQuorviaDoc().GetItemAt(0)->VerifyMatches(20));

    logic->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(host.dialogInitialPaths.size(), 1u);
    EXPECT_EQ(host.dialogInitialPaths[0], std::vector<std::u16string>{U(list)});
    EXPECT_TRUE(logic->GetPendingPaths().empty());
}

TEST_F(FrameLogicTest, DropsThatAreNoListOpenTheNewTaskDialog) {
    Create();
    dir.Write("a.txt", "abc");
    const fs::path list = dir.Write("list.sha1", "A9993E364706816ABA3E25717850C26C9CD0D89D *a.txt\r\n");
    const std::u16string listPath = U(list);
    ASSERT_TRUE(logic->OpenHashFile(&listPath, true));

    // A small file that is no list: the scratch document takes the failed
    // load, the open list stays.
    const fs::path notes = dir.Write("notes.txt", "words\n");
    logic->OnDropFiles({U(notes)});
    EXPECT_EQ(host.postedCommands, std::deque<uint32_t>{ID_FILE_NEW});
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 1u);
    EXPECT_EQ(host.viewRows, 1u);
    EXPECT_TRUE(prompts.boxes.empty());

    host.postedCommands.clear();
    logic->OnDropFiles({U(dir.path()), U(notes)});
    EXPECT_EQ(host.postedCommands, std::deque<uint32_t>{ID_FILE_NEW});
    EXPECT_EQ(logic->GetPendingPaths(), (std::vector<std::u16string>{U(dir.path()), U(notes)}));
}

// Another start hands its paths over, several times in a row, as the file
// manager does for each chosen item: one dialog takes them all, wherever it
// is on its way, and a list among them is hashed, not opened.
TEST_F(FrameLogicTest, HandedOverPathsGatherInOneNewTaskDialog) {
    Create();
    const std::u16string a = U(dir.Write("a.md5", "not a list\n"));
    const std::u16string b = U(dir.Write("b.bin", "b"));
    const std::u16string c = U(dir.Write("c.bin", "c"));
    logic->OnPathsHandedOver({a});
    logic->OnPathsHandedOver({b, a});
    EXPECT_EQ(host.postedCommands, std::deque<uint32_t>{ID_FILE_NEW}) << "one dialog for both";
    EXPECT_EQ(host.fronts, 2);
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 0u);

    // While the dialog is open, later paths go into it; a cancelled dialog
    // leaves nothing pending, so the next hand-over opens a new one.
    host.newTaskDialog = [&](const std::vector<std::u16string>&, QmNewTaskChoice&) {
        logic->OnPathsHandedOver({c});
        return false;
    };
    host.postedCommands.clear();
    logic->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(host.dialogInitialPaths.size(), 1u);
    EXPECT_EQ(host.dialogInitialPaths[0], (std::vector<std::u16string>{a, b}));
    EXPECT_EQ(host.addedToDialog, std::vector<std::u16string>{c});
    EXPECT_TRUE(host.postedCommands.empty());
    EXPECT_TRUE(logic->GetPendingPaths().empty());

    // Handed over while the save question is open: the dialog after it
    // lists them, and no second dialog follows.
    ASSERT_TRUE(GetQuorviaDoc().LoadHashList(U(dir.Write("l.sha1", "A9993E364706816ABA3E25717850C26C9CD0D89D *x\r\n"))));
    GetQuorviaDoc().SetModified(true);
    prompts.boxAnswers = {IDNO};
    prompts.onBox = [&](const QmMessageBoxRequest&) { logic->OnPathsHandedOver({b}); };
    host.newTaskDialog = nullptr;
    logic->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(host.dialogInitialPaths.size(), 2u);
    EXPECT_EQ(host.dialogInitialPaths[1], std::vector<std::u16string>{b});
    EXPECT_TRUE(host.postedCommands.empty());
}

TEST_F(FrameLogicTest, PathsHandedOverDuringATaskWaitForTheNextNewTask) {
    Create();
    const std::u16string file = U(dir.Write("a.txt", "abc"));
    host.newTaskDialog = [&](const std::vector<std::u16string>& paths, QmNewTaskChoice& choice) {
        choice.chosenPaths = {{paths.at(0), false}};
        choice.commonRoot = U(dir.path());
        choice.algorithmId = 5;
        return true;
    };
    logic->OnPathsHandedOver({file});
    logic->OnCommand(ID_FILE_NEW);
    ASSERT_TRUE(logic->IsRunning());
    host.postedCommands.clear();
    logic->OnPathsHandedOver({U(dir.path())});
    EXPECT_TRUE(host.postedCommands.empty());
    EXPECT_TRUE(prompts.boxes.empty()) << "no box interrupts the running task";
    RunToEnd();
    host.newTaskDialog = nullptr;
    prompts.boxAnswers = {IDNO};  // the results stay unsaved
    logic->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(host.dialogInitialPaths.size(), 2u);
    EXPECT_EQ(host.dialogInitialPaths[1], std::vector<std::u16string>{U(dir.path())});
}

TEST(LaunchPathsTest, OnlyASingleRegularFileBelowTheLimitIsProbed) {
    test::TempDir dir;
    MakeSparse(dir / "below", kDropProbeSizeLimit - 1);
    MakeSparse(dir / "limit", kDropProbeSizeLimit);
    const std::u16string below = U(dir / "below");
    EXPECT_TRUE(ShouldProbeDroppedFile(std::vector<std::u16string>{below}));
    EXPECT_FALSE(ShouldProbeDroppedFile(std::vector<std::u16string>{U(dir / "limit")}));
    EXPECT_FALSE(ShouldProbeDroppedFile(std::vector<std::u16string>{U(dir.path())}));
    EXPECT_FALSE(ShouldProbeDroppedFile(std::vector<std::u16string>{below, below}));
    EXPECT_FALSE(ShouldProbeDroppedFile(std::vector<std::u16string>{U(dir / "missing")}));

    EXPECT_TRUE(HasHashListExtension(u"/x/a.TXT"));
    EXPECT_TRUE(HasHashListExtension(u"/x/a.Sha1"));
    EXPECT_TRUE(HasHashListExtension(u"/x/a.b.md5"));
    EXPECT_FALSE(HasHashListExtension(u"/x/a.md5.bak"));
    EXPECT_FALSE(HasHashListExtension(u"/x.md5/a"));
}

// What another process sends is checked before a path is taken from it.
TEST(LaunchPathsTest, HandedOverPathsRoundTripAndMalformedPackingsAreRefused) {
    const std::vector<std::u16string> paths{u"/a/文件.bin", u"/b"};
    const std::u16string packed = PackHandedOverPaths(paths);
    // Sent from an odd address: the receiver may not assume alignment.
    std::string bytes(1, '\0');
    bytes.append(reinterpret_cast<const char*>(packed.data()), packed.size() * sizeof(char16_t));
    EXPECT_EQ(UnpackHandedOverPaths(bytes.data() + 1, bytes.size() - 1), paths);
    EXPECT_EQ(UnpackHandedOverPaths(nullptr, 0), std::vector<std::u16string>{});

    auto unpack = [](const std::u16string& units) {
        return UnpackHandedOverPaths(units.data(), units.size() * sizeof(char16_t));
    };
    EXPECT_FALSE(UnpackHandedOverPaths(packed.data(), packed.size() * 2 - 1)) << "half a code unit";
    EXPECT_FALSE(unpack(u"/a")) << "no NUL at the end";
    EXPECT_FALSE(unpack(std::u16string(u"/a\0\0", 4))) << "an empty path";
    EXPECT_FALSE(unpack(std::u16string(kMaxHandedOverPathLength + 1, u'x') + u'\0'));
    EXPECT_TRUE(unpack(std::u16string(kMaxHandedOverPathLength, u'x') + u'\0'));
    std::u16string many;
    for (size_t i = 0; i <= kMaxHandedOverPaths; ++i) many += std::u16string(u"p\0", 2);
    EXPECT_FALSE(unpack(many));
    many.resize(many.size() - 2);
    EXPECT_EQ(unpack(many)->size(), kMaxHandedOverPaths);
}

// --- close, stop, verify --------------------------------------------------

TEST_F(FrameLogicTest, CloseWithAModifiedDocument) {
    Create();
    EXPECT_TRUE(logic->QueryClose()) << "nothing to ask";
    EXPECT_TRUE(prompts.boxes.empty());

    dir.Write("tree/a", "abc");
    RunTask({dir / "tree"});
    prompts.boxAnswers = {IDYES};
    EXPECT_FALSE(logic->QueryClose()) << "Yes, then a cancelled save dialog keeps the window";
    EXPECT_EQ(prompts.fileDialogs.size(), 1u);
    prompts.boxAnswers = {IDCANCEL};
    EXPECT_FALSE(logic->QueryClose());
    prompts.boxAnswers = {IDNO};
    EXPECT_TRUE(logic->QueryClose());
    EXPECT_TRUE(GetQuorviaDoc().IsModified());
    for (const QmMessageBoxRequest& request : prompts.boxes) {
        EXPECT_EQ(BoxOf(request), (Box{kAppName, u"是否将更改保存到 未命名 ?", MB_YESNOCANCEL}));
    }

    // Yes and a save that fails: the error, and the window stays.
    prompts.boxes.clear();
    prompts.boxAnswers = {IDYES};
    const fs::path list = dir / "later/saved.txt";
    prompts.fileAnswers = {std::vector<std::u16string>{U(list)}};
    EXPECT_FALSE(logic->QueryClose());
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(prompts.boxes[1].flags, MB_ICONERROR);
    EXPECT_TRUE(GetQuorviaDoc().IsModified());

    // The name chosen stays the list's: once its folder exists, Yes saves
    // there without a dialog and the window closes.
    fs::create_directories(list.parent_path());
    const size_t dialogs = prompts.fileDialogs.size();
    prompts.boxAnswers = {IDYES};
    EXPECT_TRUE(logic->QueryClose());
    EXPECT_EQ(prompts.fileDialogs.size(), dialogs);
    EXPECT_TRUE(fs::exists(list));
    EXPECT_FALSE(GetQuorviaDoc().IsModified());
}

TEST_F(FrameLogicTest, CloseDuringTheTaskStopsTheThreadsAndStartsNothingMore) {
    Create();
    for (int i = 0; i < 8; ++i) MakeSparse(dir / ("tree/big" + std::to_string(i)), 64 << 20);
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    DeliverUntil(WMU_ENUM_DONE);
    ASSERT_EQ(logic->GetRunner().GetPhase(), CQmTaskRunner::Phase::Hashing);

    prompts.boxAnswers = {IDOK};
    EXPECT_TRUE(logic->QueryClose());
    EXPECT_TRUE(logic->IsClosing());
    EXPECT_FALSE(host.timerRunning);
    // The hasher's end message comes and is ignored: no summary, no chime.
    DeliverUntil(WMU_HASH_DONE);
    EXPECT_FALSE(host.panes[kPaneProgress].starts_with(u"耗时"));
    EXPECT_EQ(host.sounds, 0);
    logic.reset();  // waits for every thread
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    ASSERT_EQ(document.GetItemCount(), 8u);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(document.GetItemAt(i)->GetLength(), uint64_t{64} << 20);

    // Closing while enumerating: the end message starts no hashing run.
    Create();
    host.log.clear();
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    prompts.boxAnswers = {IDOK};
    EXPECT_TRUE(logic->QueryClose());
    DeliverUntil(WMU_ENUM_DONE);
    EXPECT_EQ(logic->GetRunner().GetPhase(), CQmTaskRunner::Phase::Enumerating);
    EXPECT_TRUE(host.LogOf({"taskbar state 2", "view end-add"}).empty());
}

TEST_F(FrameLogicTest, StopDuringTheEnumerationKeepsWhatWasFound) {
    Create();
    for (int d = 0; d < 40; ++d) {
        for (int f = 0; f < 150; ++f) dir.Write("tree/d" + std::to_string(d) + "/f" + std::to_string(f), "12345");
    }
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    host.log.clear();
    logic->OnCommand(ID_TASK_STOP);
    RunToEnd();
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    // The view takes in the rows and updates them as after any enumeration;
    // then the timer stops and the pane says why.
    EXPECT_EQ(host.LogOf({"view", "timer", "pane 1"}),
              (std::vector<std::string>{"view end-add", "view begin-hash", "timer stop", "pane 1 用户已取消"}));
    EXPECT_FALSE(host.timerRunning);
    EXPECT_TRUE(host.LogOf({"taskbar state"}).empty()) << "no hashing started";
    EXPECT_EQ(host.viewRows, document.GetItemCount());
    EXPECT_EQ(document.GetFileCount(), document.GetItemCount());
    EXPECT_LT(document.GetItemCount(), 6000u);
    EXPECT_EQ(host.panes[kPaneTotals], FormatTotalsText(document.GetFileCount(), document.GetTotalBytes()));
    EXPECT_TRUE(host.Enabled(ID_TASK_VERIFY_ALL) == (document.GetItemCount() > 0));
    EXPECT_FALSE(host.Enabled(ID_TASK_STOP));
}

// The list takes in its last rows after the enumeration ended without
// holding the window: the task goes on only when the list says it is
// ready, and a stop in between ends the task as a stop during the
// enumeration does.
TEST_F(FrameLogicTest, TheTaskWaitsForTheListsLastRows) {
    Create();
    dir.Write("tree/a", "abc");
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped while the list finished" : "finished");
        AnswerNewTask({dir / "tree"});
        host.holdFinish = true;
        if (GetQuorviaDoc().IsModified()) prompts.boxAnswers.push_back(IDNO);
        logic->OnCommand(ID_FILE_NEW);
        DeliverUntil(WMU_ENUM_DONE);
        EXPECT_EQ(host.LogOf({"view finish-held"}).size(), 1u);
        EXPECT_TRUE(host.LogOf({"view begin-hash", "taskbar state"}).empty()) << "nothing starts before the list";
        EXPECT_TRUE(logic->IsRunning());
        EXPECT_TRUE(host.Enabled(ID_TASK_STOP));
        logic->OnNotify(WMU_ENUM_DONE, 0, 0);  // a second end message changes nothing
        if (stop) logic->OnCommand(ID_TASK_STOP);
        host.holdFinish = false;
        host.EndAddItems();
        host.log.clear();
        logic->OnNotify(WMU_LIST_READY, 0, 0);
        RunToEnd();
        if (stop) {
            EXPECT_EQ(host.panes[kPaneProgress], u"用户已取消");
            EXPECT_TRUE(host.LogOf({"taskbar state"}).empty()) << "no hashing started";
            EXPECT_FALSE(GetQuorviaDoc().GetItemAt(0)->HasHash());
        } else {
            EXPECT_EQ(host.LogOf({"view begin-hash", "taskbar state 2"}),
                      (std::vector<std::string>{"view begin-hash", "taskbar state 2"}));
            EXPECT_TRUE(GetQuorviaDoc().GetItemAt(0)->HasHash());
        }
        EXPECT_FALSE(logic->IsRunning());
        logic->OnNotify(WMU_LIST_READY, 0, 0);  // a stray one changes nothing
        EXPECT_FALSE(logic->IsRunning());
        host.log.clear();
    }
}

TEST_F(FrameLogicTest, StopDuringHashingEndsWithTheSummaryAndUnhashedItems) {
    Create();
    for (int i = 0; i < 6; ++i) MakeSparse(dir / ("tree/big" + std::to_string(i)), 128 << 20);
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    DeliverUntil(WMU_ENUM_DONE);
    logic->OnCommand(ID_TASK_STOP);
    RunToEnd();
    EXPECT_TRUE(host.panes[kPaneProgress].starts_with(u"耗时："));
    EXPECT_EQ(host.sounds, 1);
    size_t unhashed = 0;
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    for (size_t i = 0; i < document.GetItemCount(); ++i) unhashed += document.GetItemAt(i)->HasHash() ? 0 : 1;
    EXPECT_GT(unhashed, 0u);
}

TEST_F(FrameLogicTest, VerifyAllWarnsAboutUnhashedItemsAndSkipsThem) {
    Create();
    dir.Write("tree/a", "abc");
    dir.Write("tree/b", "gone soon");
    dir.Write("tree/c", "stays");
    AnswerNewTask({dir / "tree"});
    logic->OnCommand(ID_FILE_NEW);
    // b is listed, then goes away before the hashing run reaches it.
    const std::optional<PostedMessage> enumDone = target.Take();
    ASSERT_TRUE(enumDone && enumDone->message == WMU_ENUM_DONE);
    fs::remove(dir / "tree/b");
    Deliver(*enumDone);
    RunToEnd();
    const CQmQuorviaDoc& document = GetQuorviaDoc();
    const auto item = [&document, this](const char* name) {
        for (size_t i = 0; i < document.GetItemCount(); ++i) {
            if (document.GetItemAt(i)->GetPath() == U(dir / "tree" / name)) return document.GetItemAt(i);
        }
        return static_cast<CQmQuorviaItem*>(nullptr);
    };
    const CQmQuorviaItem* b = item("b");
    ASSERT_TRUE(b);
    ASSERT_FALSE(b->HasHash());
    EXPECT_FALSE(b->GetError().empty());

    prompts.boxes.clear();
    prompts.boxAnswers = {IDCANCEL};
    logic->OnCommand(ID_TASK_VERIFY_ALL);
    EXPECT_FALSE(logic->IsRunning());
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(BoxOf(prompts.boxes[0]),
              (Box{kAppName, u"由于部分文件未完成初始哈希计算，因此这些文件将不能进行文件校验操作。",
                   MB_OKCANCEL | MB_ICONWARNING}));

    dir.Write("tree/a", "abd");
    prompts.boxAnswers = {IDOK};
    logic->OnCommand(ID_TASK_VERIFY_ALL);
    EXPECT_FALSE(host.Enabled(ID_TASK_VERIFY_ALL));
    ASSERT_TRUE(logic->IsRunning());
    RunToEnd();
    EXPECT_FALSE(item("a")->VerifyMatches(20)) << "a changed";
    EXPECT_FALSE(b->IsSelected()) << "b has no stored hash and takes no part";
    EXPECT_TRUE(item("c")->VerifyMatches(20));

    // Saving such a list warns too.
    prompts.boxes.clear();
    prompts.boxAnswers = {IDCANCEL};
    bool cancelled = false;
    EXPECT_FALSE(logic->SaveDocument(true, cancelled));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(BoxOf(prompts.boxes[0]),
              (Box{kAppName, u"由于部分文件未完成初始哈希计算，因此这些文件项将不能进行文件保存操作。",
                   MB_OKCANCEL | MB_ICONWARNING}));
    EXPECT_TRUE(prompts.fileDialogs.empty());
}

}  // namespace
}  // namespace qm
