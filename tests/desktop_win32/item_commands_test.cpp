// The Windows file list's context menu and what its commands do, through the
// real frame: the entries for a CRC32 list, for a 115 list and while a task
// runs, the copy texts read back from the clipboard, removing rows, verifying
// the selected ones, the find dialog, and the shell's actions with their
// failure texts (what would be started with what, and the two calls whose
// answer Wine gives for sure).
#include "desktop_win32/main_frame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/error_record.h"
#include "common/utf.h"
#include "desktop/command_ids.h"
#include "desktop/fake_prompts.h"
#include "desktop_win32/find_dlg.h"
#include "desktop_win32/resource.h"
#include "desktop_win32/shell_services.h"
#include "desktop_win32/win32_test_util.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/task_paths.h"
#include "engines/hash_object.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::ListColumn;
using test::ListText;
using test::PumpUntil;
using win32::CMainFrame;
using win32::CMainFrameOptions;

std::u16string U(const fs::path& path) { return path.u16string(); }

std::u16string ClipboardText() {
    std::u16string text;
    if (!OpenClipboard(nullptr)) return u"(no clipboard)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class ItemCommandsTest : public ::testing::Test {
protected:
    void TearDown() override {
        frame_.reset();
        test::DropQuit();
        GetQuorviaDoc().Clear();
    }

    // A frame whose list shows the files of `names` under one folder,
    // hashed with `algorithm`; the menu chooses what `choose_` says.
    void CreateWithTask(const std::vector<std::string>& names, int32_t algorithm = QM_HASH_SHA1) {
        for (const std::string& name : names) dir_.Write("t/" + name, name);
        CMainFrameOptions options;
        options.completionSound = [] {};
        options.newTaskDialog = [this, algorithm](CMainFrame&, const std::vector<std::u16string>&,
                                                  QmNewTaskChoice& choice) {
            const std::vector<std::u16string> paths = {U(dir_.path() / "t")};
            const QmTaskPathCheck check = CheckTaskPaths(paths);
            choice.algorithmId = algorithm;
            choice.recurseSubdirectories = true;
            choice.chosenPaths = check.chosen;
            choice.commonRoot = check.commonRoot;
            return check.status == QmTaskPathStatus::Ok;
        };
        options.menuTracker = [this](HMENU menu, POINT) {
            menus_.push_back(Entries(menu));
            return choose_;
        };
        frame_ = std::make_unique<CMainFrame>(std::move(options));
        ASSERT_TRUE(frame_->CreateFrame(SW_SHOWNOACTIVATE));
        SendMessageW(frame_->GetHwnd(), WM_COMMAND, ID_FILE_NEW, 0);
        ASSERT_TRUE(PumpUntil([this] { return !frame_->Logic().IsRunning(); }));
        test::PumpPending();
    }
    HWND List() const { return frame_->GetListWindow(); }

    // The rows the user selects, by file name.
    void Select(const std::vector<std::u16string>& names) {
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        const std::vector<std::u16string> shown = ListColumn(List(), 0);
        for (const std::u16string& name : names) {
            for (size_t row = 0; row < shown.size(); ++row) {
                if (shown[row] != name) continue;
                LVITEMW item{};
                item.stateMask = item.state = LVIS_SELECTED;
                SendMessageW(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
            }
        }
    }
    // The context menu from the keyboard, choosing `id`.
    void Choose(UINT id) {
        choose_ = id;
        SendMessageW(List(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(List()), -1);
        test::PumpPending();
    }
    // A popup's entries as "text" (greyed ones as "text (grey)"), the
    // submenu's after it in brackets, separators as "-".
    static std::vector<std::u16string> Entries(HMENU menu) {
        std::vector<std::u16string> entries;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            if (state & MF_SEPARATOR) {
                entries.push_back(u"-");
                continue;
            }
            std::u16string entry = win32::FromWide(text);
            if (state & MF_GRAYED) entry += u" (grey)";
            entries.push_back(entry);
            if (const HMENU sub = GetSubMenu(menu, i)) {
                for (std::u16string inner : Entries(sub)) {
                    inner.insert(0, 1, u'[');
                    inner.push_back(u']');
                    entries.push_back(std::move(inner));
                }
            }
        }
        return entries;
    }

    test::TempDir dir_;
    test::FakePrompts prompts_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::vector<std::u16string>> menus_;
    UINT choose_ = 0;
};

TEST_F(ItemCommandsTest, TheMenuForCrc32For115AndWhileATaskRuns) {
    CreateWithTask({"a.txt"}, QM_HASH_CRC32);
    Choose(0);
    EXPECT_TRUE(menus_.empty()) << "no menu without a selected file";
    Select({u"a.txt"});
    Choose(0);
    const std::vector<std::u16string> crc = {u"打开文件(&O)", u"浏览文件(&E)", u"文件属性(&R)", u"复制",
                                             u"[文件名]",     u"[文件路径]",   u"[哈希值(文本)]", u"[哈希值(C代码)]",
                                             u"-",            u"校验文件",     u"-",             u"删除文件项(&D)"};
    ASSERT_EQ(menus_.size(), 1u);
    EXPECT_EQ(menus_[0], crc);

    GetQuorviaDoc().SetAlgorithm(QM_HASH_115);
    GetQuorviaDoc().SetBusy(true);
    Choose(0);
    GetQuorviaDoc().SetBusy(false);
    std::vector<std::u16string> busy = crc;
    busy.insert(busy.begin() + 8, u"[文件链接]");
    busy[10] = u"校验文件 (grey)";
    busy[12] = u"删除文件项(&D) (grey)";
    EXPECT_EQ(menus_[1], busy);
}

TEST_F(ItemCommandsTest, CopyTextsOfOneRowOfThreeAndOfARowWithoutAHash) {
    CreateWithTask({"one", "three", "two"});
    Select({u"one"});
    Choose(ID_COPY_NAME);
    EXPECT_EQ(ClipboardText(), u"one");
    Choose(ID_COPY_HASH_TEXT);
    EXPECT_EQ(ClipboardText(), u"FE05BCDCDC4928012781A5F1A2A77CBB5398E106");

    Select({u"one", u"three", u"two"});
    Choose(ID_COPY_PATH);
    const std::u16string folder = U(dir_.path() / "t") + u"\\";
    EXPECT_EQ(ClipboardText(), folder + u"one\r\n" + folder + u"three\r\n" + folder + u"two");
    Choose(ID_COPY_HASH_CODE);
    const std::u16string arrays = ClipboardText();
    EXPECT_EQ(arrays.rfind(u"const unsigned char SHA1_1[20] = {0xFE,0x05,", 0), 0u);
    EXPECT_NE(arrays.find(u"};\r\n\r\nconst unsigned char SHA1_3[20] = {"), std::u16string::npos);

    // The middle row's hash cell empty (as while it waits): its array is left
    // out and the numbers close up; its hash text line stays, empty.
    frame_->View().FileList().GetModel().SetCellState(GetQuorviaDoc().GetItemAt(1), QM_COLUMN_HASH,
                                                      CQmListModel::CELL_EMPTY);
    Choose(ID_COPY_HASH_CODE);
    const std::u16string fewer = ClipboardText();
    EXPECT_NE(fewer.find(u"SHA1_2[20]"), std::u16string::npos);
    EXPECT_EQ(fewer.find(u"SHA1_3"), std::u16string::npos);
    Choose(ID_COPY_HASH_TEXT);
    EXPECT_EQ(ClipboardText(), u"FE05BCDCDC4928012781A5F1A2A77CBB5398E106\r\n\r\n"
                               u"AD782ECDAC770FC6EB9A62E44F90873FB97FB26B");
}

TEST_F(ItemCommandsTest, RemovingThreeAdjacentRowsAsksAndCancelKeepsThem) {
    CreateWithTask({"a", "b", "c", "d"});
    Select({u"a", u"b", u"c"});
    prompts_.boxAnswers.push_back(IDCANCEL);
    Choose(ID_ITEM_REMOVE);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text, u"确定删除选定的文件项吗(文件不会被删除)?");
    EXPECT_EQ(prompts_.boxes[0].flags, static_cast<uint32_t>(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 4u);

    prompts_.boxAnswers.push_back(IDOK);
    Choose(ID_ITEM_REMOVE);
    EXPECT_EQ(ListColumn(List(), 0), (std::vector<std::u16string>{U(dir_.path() / "t"), u"d"}));
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 1u);
    EXPECT_TRUE(fs::exists(dir_.path() / "t" / "a")) << "no file on disk is touched";
    EXPECT_EQ(test::StatusText(frame_->GetStatusBar(), 2), u"文件总数: 1 个 , 总大小: 1 字节");
    EXPECT_TRUE(GetQuorviaDoc().IsModified());
}

TEST_F(ItemCommandsTest, VerifyingTheSelectedFilesChecksThemOnly) {
    CreateWithTask({"x", "y", "z"});
    dir_.Write("t/x", "changed");
    dir_.Write("t/z", "changed");
    Select({u"x", u"y"});
    Choose(ID_ITEM_VERIFY);
    ASSERT_TRUE(PumpUntil([this] { return !frame_->Logic().IsRunning() && test::StatusText(frame_->GetStatusBar(), 1).size() > 0; }));
    test::PumpPending();
    EXPECT_EQ(ListText(List(), 1, 4).rfind(u"新文件HASH值:", 0), 0u);
    EXPECT_EQ(ListText(List(), 2, 4), u"文件检查正确");
    EXPECT_EQ(ListText(List(), 3, 4), u"") << "z took no part";
    EXPECT_NE(test::StatusText(frame_->GetStatusBar(), 1).find(u"检查结果：正确 1 个，不一致 1 个，失败 0 个"),
              std::u16string::npos);
}

// The find dialog: F3 before any search opens it; a search down, then up,
// with whole cell and case; at the end the box, owned by the dialog.
TEST_F(ItemCommandsTest, TheFindDialogSearchesAsItsSettingsSay) {
    CreateWithTask({"Alpha.md5", "beta.txt", "gamma.md5"});
    const HWND frame = frame_->GetHwnd();
    SendMessageW(frame, WM_COMMAND, ID_EDIT_REPEAT, 0);
    win32::CQmFindDlg* dialog = frame_->View().GetFindDialog();
    ASSERT_TRUE(dialog && dialog->IsOpen()) << "F3 before a search opens the dialog";
    const HWND box = dialog->GetHwnd();
    EXPECT_EQ(test::WindowText(box), u"查找");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(box, IDOK))) << "nothing to find yet";

    auto find = [box](const wchar_t* text, bool down, bool whole, bool matchCase) {
        SetDlgItemTextW(box, IDC_FIND_TEXT, text);
        CheckRadioButton(box, IDC_FIND_UP, IDC_FIND_DOWN, down ? IDC_FIND_DOWN : IDC_FIND_UP);
        CheckDlgButton(box, IDC_FIND_WHOLE_WORD, whole ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(box, IDC_FIND_MATCH_CASE, matchCase ? BST_CHECKED : BST_UNCHECKED);
        SendMessageW(box, WM_COMMAND, IDOK, 0);
    };
    find(L"MD5", true, false, false);
    EXPECT_EQ(test::SelectedRows(List()), (std::vector<int>{1}));
    find(L"MD5", true, false, false);
    EXPECT_EQ(test::SelectedRows(List()), (std::vector<int>{3}));
    find(L"alpha.md5", false, true, false);
    EXPECT_EQ(test::SelectedRows(List()), (std::vector<int>{1})) << "up, the whole cell, case folded";
    find(L"alpha", false, true, false);
    ASSERT_EQ(prompts_.boxes.size(), 1u) << "a part of a cell is no whole cell";
    EXPECT_EQ(prompts_.boxes[0].text, u"字符串搜索完毕。");
    EXPECT_EQ(prompts_.boxes[0].owner, static_cast<QmWindow>(box));
    find(L"BETA", true, false, true);
    EXPECT_EQ(prompts_.boxes.size(), 2u) << "with case, BETA is not beta";
    EXPECT_EQ(test::SelectedRows(List()), (std::vector<int>{1}));

    // Closed, F3 repeats the last search from the list.
    SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(dialog->IsOpen());
    find(L"gamma", true, false, false);  // (hidden dialog: only its fields are set)
    SendMessageW(frame, WM_COMMAND, ID_EDIT_REPEAT, 0);
    EXPECT_EQ(prompts_.boxes.size(), 3u) << "F3 repeats the search the dialog last asked for";
}

// What the shell would be asked, and the failure texts; then the two calls
// whose answer Wine gives for sure.
TEST_F(ItemCommandsTest, ShellActionsAndTheirFailureTexts) {
    CreateWithTask({"doc.qmx", "two.qmx"});
    std::vector<std::wstring> started;
    win32::QmShellCalls calls;
    calls.shellExecuteEx = [&started](SHELLEXECUTEINFOW* info) {
        started.push_back(std::wstring(info->lpVerb) + L" " + info->lpFile + L" " +
                          std::to_wstring(info->fMask & SEE_MASK_FLAG_NO_UI));
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    };
    calls.shellExecute = [&started](HWND, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                    const wchar_t*, INT show) {
        started.push_back(std::wstring(verb) + L" " + file + L" " + parameters + L" " + std::to_wstring(show));
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_ACCESSDENIED));
    };
    calls.multiFileProperties = [&started](IDataObject*, DWORD) {
        started.push_back(L"properties");
        return E_FAIL;
    };
    win32::SetShellCalls(&calls);
    Select({u"doc.qmx", u"two.qmx"});
    Choose(ID_ITEM_OPEN);
    Choose(ID_ITEM_BROWSE);
    Choose(ID_ITEM_PROPERTIES);
    win32::SetShellCalls(nullptr);

    const std::wstring doc = (dir_.path() / "t" / "doc.qmx").wstring();
    const std::wstring two = (dir_.path() / "t" / "two.qmx").wstring();
    ASSERT_EQ(started.size(), 5u);
    EXPECT_EQ(started[0], L"open " + doc + L" 1024");
    EXPECT_EQ(started[2], L"open explorer /n,/select,\"" + doc + L"\" 5");
    EXPECT_EQ(started[4], L"properties");
    ASSERT_EQ(prompts_.boxes.size(), 3u);
    // One box per command, a line per file that failed.
    std::u16string noAssociation;
    GetSystemErrorMessage(ERROR_NO_ASSOCIATION, noAssociation);
    EXPECT_EQ(prompts_.boxes[0].text, u"打开文件失败:" + noAssociation + u"\r\n打开文件失败:" + noAssociation);
    EXPECT_EQ(prompts_.boxes[0].caption, u"栎弦文件校验工具");
    EXPECT_EQ(prompts_.boxes[1].text.rfind(u"浏览文件(" + U(dir_.path() / "t" / "doc.qmx") + u")失败:", 0), 0u);
    EXPECT_EQ(prompts_.boxes[2].text.rfind(u"显示文件属性失败", 0), 0u);
    EXPECT_EQ(prompts_.boxes[2].caption, u"错误");

    // Real calls: a missing file starts nothing; a type nobody opens fails
    // with the system's text.
    EXPECT_FALSE(win32::ShowFileInExplorer(U(dir_.path() / "missing.qmx")));
    EXPECT_EQ(GetLastErrorText(), u"浏览文件(" + U(dir_.path() / "missing.qmx") + u")失败:文件不存在。");
    EXPECT_FALSE(win32::OpenFileWithShell(U(dir_.path() / "t" / "doc.qmx")));
    EXPECT_EQ(GetLastErrorText().rfind(u"打开文件失败:", 0), 0u);
    EXPECT_GT(GetLastErrorText().size(), std::u16string(u"打开文件失败:").size());
}

}  // namespace
}  // namespace qm
