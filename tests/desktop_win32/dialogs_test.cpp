// The Windows program's own dialogs, run for real and answered from a
// timer as a user would: the new-task dialog (its list, algorithms, option,
// a drop, the Delete key and OK's checks), the About box, drops on the main
// window, and the hand-over of the file manager's verb.
#include "desktop_win32/dialogs.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/utf.h"
#include "desktop/command_ids.h"
#include "desktop/fake_prompts.h"
#include "desktop_win32/main_frame.h"
#include "desktop_win32/resource.h"
#include "desktop_win32/shell_integration.h"
#include "desktop_win32/shell_services.h"
#include "desktop/launch_paths.h"
#include "desktop_win32/win32_test_util.h"
#include "document/quorvia_doc.h"
#include "engines/hash_object.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::u16string U(const fs::path& path) { return path.u16string(); }

// A WM_DROPFILES block for `paths`, as Explorer hands it over.
HGLOBAL MakeDrop(const std::vector<std::u16string>& paths) {
    size_t chars = 1;
    for (const std::u16string& path : paths) chars += path.size() + 1;
    const HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<char16_t*>(drop + 1);
    for (const std::u16string& path : paths) {
        std::memcpy(text, path.c_str(), (path.size() + 1) * sizeof(char16_t));
        text += path.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

// Runs `act` on the first window of the dialog class titled `title` once it
// shows, from a timer of the modal loop that shows it.
class DialogAnswer {
public:
    DialogAnswer(const wchar_t* title, std::function<void(HWND)> act) {
        current_ = this;
        title_ = title;
        act_ = std::move(act);
        timer_ = SetTimer(nullptr, 0, 50, &DialogAnswer::Tick);
    }
    ~DialogAnswer() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool Done() const { return done_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogAnswer* self = current_;
        if (!self || self->done_) return;
        if (const HWND dialog = FindWindowW(L"#32770", self->title_)) {
            self->done_ = true;
            self->act_(dialog);
        }
    }
    static inline DialogAnswer* current_ = nullptr;
    const wchar_t* title_ = nullptr;
    std::function<void(HWND)> act_;
    UINT_PTR timer_ = 0;
    bool done_ = false;
};

class DialogsTest : public ::testing::Test {
protected:
    void TearDown() override {
        test::DropQuit();
        GetQuorviaDoc().Clear();
    }
    test::TempDir dir_;
    test::FakePrompts prompts_;
};

TEST_F(DialogsTest, TheNewTaskDialogListsChecksAndHandsOver) {
    const fs::path a = dir_.path() / "data/a";
    const fs::path b = dir_.path() / "data/b.iso";
    dir_.Write("data/a/x", "x");
    dir_.Write("data/b.iso", "b");
    GetQuorviaDoc().SetAlgorithm(QM_HASH_MD5);
    win32::CQmNewTaskDlg dialog(std::vector<std::u16string>{U(a)});
    std::vector<std::u16string> listed;
    std::u16string algorithm;
    std::vector<std::u16string> algorithms;
    LONG firstHeight = 0;
    const DialogAnswer answer(L"新建校验任务", [&](HWND hwnd) {
        const HWND list = GetDlgItem(hwnd, IDC_PATH_LIST);
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        firstHeight = rect.bottom - rect.top;
        // A drop adds the paths, selected; a path listed already stays once.
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({U(b), U(a)})), 0);
        listed = test::ListColumn(list, 0);
        EXPECT_EQ(test::SelectedRows(list), (std::vector<int>{0, 1}));
        // Delete takes the selected rows; OK on the empty list says so.
        NMLVKEYDOWN key{};
        key.hdr.hwndFrom = list;
        key.hdr.idFrom = IDC_PATH_LIST;
        key.hdr.code = LVN_KEYDOWN;
        key.wVKey = VK_DELETE;
        SendMessageW(hwnd, WM_NOTIFY, IDC_PATH_LIST, reinterpret_cast<LPARAM>(&key));
        EXPECT_EQ(test::ListCount(list), 0);
        SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({U(a), U(b)})), 0);
        algorithm = win32::GetControlText(hwnd, IDC_ALGORITHM);
        const HWND combo = GetDlgItem(hwnd, IDC_ALGORITHM);
        for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[64] = {};
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            algorithms.push_back(win32::FromWide(text));
        }
        CheckDlgButton(hwnd, IDC_SUBDIRS, BST_UNCHECKED);
        SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
    });
    QmNewTaskChoice choice;
    ASSERT_TRUE(dialog.Run(nullptr, choice));
    EXPECT_TRUE(answer.Done());
    EXPECT_GT(firstHeight, 0);
    EXPECT_EQ(listed, (std::vector<std::u16string>{U(a), U(b)}));
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text, u"请设置需要计算校验的目录或文件!");
    EXPECT_EQ(algorithm, u"MD5") << "the document's algorithm";
    EXPECT_EQ(algorithms.front(), u"CRC32");
    EXPECT_EQ(algorithms.back(), u"115网盘");
    EXPECT_EQ(choice.algorithmId, QM_HASH_MD5);
    EXPECT_FALSE(choice.recurseSubdirectories);
    EXPECT_EQ(choice.commonRoot, U(dir_.path() / "data"));
    ASSERT_EQ(choice.chosenPaths.size(), 2u);
    EXPECT_TRUE(choice.chosenPaths[0].isDirectory);
    EXPECT_FALSE(choice.chosenPaths[1].isDirectory);
}

TEST_F(DialogsTest, TheAboutBoxShowsItsUpperHalf) {
    std::u16string title;
    std::u16string text;
    bool linkVisible = true;
    LONG height = 0;
    const DialogAnswer answer(L"关于", [&](HWND hwnd) {
        title = test::WindowText(hwnd);
        text = win32::GetControlText(hwnd, IDC_ABOUT_TEXT);
        linkVisible = IsWindowVisible(GetDlgItem(hwnd, IDC_ABOUT_LINK)) != FALSE;
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        height = rect.bottom - rect.top;
        RECT ok{};
        GetWindowRect(GetDlgItem(hwnd, IDOK), &ok);
        EXPECT_LE(ok.bottom, rect.bottom) << "OK is in the half that shows";
        SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
    });
    win32::RunAboutBox(nullptr);
    EXPECT_EQ(title, u"关于");
    EXPECT_EQ(text.rfind(u"栎弦文件校验工具 V2.", 0), 0u);
    EXPECT_NE(text.find(u"\r\n\r\nCopyright"), std::u16string::npos);
    EXPECT_FALSE(linkVisible);
    RECT full{0, 0, 261, 138};
    const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MapDialogRect(probe, &full);
    DestroyWindow(probe);
    EXPECT_LT(height, full.bottom) << "the lower half is cut away";
}

// A drop's paths come whole, also one past the old 260 characters' limit.
TEST(DroppedPathsTest, EveryPathComesWhole) {
    const std::vector<std::u16string> paths{u"C:\\数据\\a.bin", u"\\\\?\\C:\\" + std::u16string(5000, u'长')};
    EXPECT_EQ(win32::TakeDroppedPaths(static_cast<HDROP>(MakeDrop(paths))), paths);
}

// A drop on the main window: a folder opens the new-task dialog with it; a
// drop while a task runs is refused and forgotten.
TEST_F(DialogsTest, DropsOnTheMainWindow) {
    for (int f = 0; f < 10; ++f) dir_.Write("busy/f" + std::to_string(f), "x");
    const fs::path folder = dir_.path() / "busy";
    std::vector<std::vector<std::u16string>> opened;
    win32::CMainFrameOptions options;
    options.completionSound = [] {};
    options.newTaskDialog = [&](win32::CMainFrame&, const std::vector<std::u16string>& paths, QmNewTaskChoice& choice) {
        opened.push_back(paths);
        const QmTaskPathCheck check = CheckTaskPaths(paths);
        choice.algorithmId = QM_HASH_SHA1;
        choice.chosenPaths = check.chosen;
        choice.commonRoot = check.commonRoot;
        return check.status == QmTaskPathStatus::Ok;
    };
    win32::CMainFrame frame(std::move(options));
    ASSERT_TRUE(frame.CreateFrame(SW_SHOWNOACTIVATE));
    PostMessageW(frame.GetHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({U(folder)})), 0);
    ASSERT_TRUE(test::PumpUntil([&] { return frame.Logic().IsRunning(); }, 10));
    EXPECT_EQ(opened, (std::vector<std::vector<std::u16string>>{{U(folder)}}));
    SendMessageW(frame.GetHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({U(folder)})), 0);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(prompts_.boxes[0].text, u"当前正在计算文件校验，因此暂不能创建新的任务。");
    EXPECT_TRUE(frame.Logic().GetPendingPaths().empty());
    ASSERT_TRUE(test::PumpUntil([&] { return !frame.Logic().IsRunning(); }));
}

// The file manager's verb: its later starts hand their paths to the verb's
// window, found by its mark, and the real dialog lists them, also the ones
// that come while it is open. A list among them is hashed, not opened.
// Another program's message, a malformed one, or one to a window without
// the mark is refused, so the start would open a window of its own.
TEST_F(DialogsTest, TheVerbsStartsHandTheirPathsToOneWindowAndItsDialog) {
    const std::u16string list = U(dir_.Write("l.md5", "900150983CD24FB0D6963F7D28E17F72 *x\r\n"));
    const std::u16string folder = U(dir_.path());
    win32::CMainFrame frame;
    ASSERT_TRUE(frame.CreateFrame(SW_SHOWNOACTIVATE));
    EXPECT_FALSE(win32::CQmVerbHandOver().HandTo(std::vector<std::u16string>{list})) << "no verb window yet";
    win32::CQmVerbHandOver().MarkAndRelease(frame.GetHwnd());
    EXPECT_TRUE(win32::CQmVerbHandOver().HandTo(std::vector<std::u16string>{list}));

    auto send = [&](ULONG_PTR id, const void* data, DWORD bytes) {
        COPYDATASTRUCT copy{id, bytes, const_cast<void*>(data)};
        return SendMessageW(frame.GetHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    };
    const std::u16string packed = PackHandedOverPaths(std::vector<std::u16string>{folder});
    EXPECT_EQ(send(win32::kHandOverDataId, packed.data(), 3), FALSE) << "half a code unit";
    EXPECT_EQ(send(win32::kHandOverDataId + 1, packed.data(), static_cast<DWORD>(packed.size() * 2)), FALSE);

    std::vector<std::u16string> listed;
    std::vector<int> selected;
    HWND dialogWindow = nullptr;
    HWND activeAfterHandOver = nullptr;
    const DialogAnswer answer(L"新建校验任务", [&](HWND hwnd) {
        dialogWindow = hwnd;
        EXPECT_TRUE(win32::CQmVerbHandOver().HandTo(std::vector<std::u16string>{folder}));
        activeAfterHandOver = GetActiveWindow();
        listed = test::ListColumn(GetDlgItem(hwnd, IDC_PATH_LIST), 0);
        selected = test::SelectedRows(GetDlgItem(hwnd, IDC_PATH_LIST));
        SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_TRUE(test::PumpUntil([&] { return answer.Done() && !IsWindow(FindWindowW(L"#32770", L"新建校验任务")); }, 10));
    EXPECT_EQ(listed, (std::vector<std::u16string>{list, folder}));
    EXPECT_EQ(selected, std::vector<int>{1}) << "what came last is selected, as after a drop";
    EXPECT_EQ(activeAfterHandOver, dialogWindow) << "the window comes up with its dialog on top";
    EXPECT_EQ(GetQuorviaDoc().GetItemCount(), 0u) << "the list was not opened";

    win32::UnmarkFrame(frame.GetHwnd());
    EXPECT_FALSE(win32::CQmVerbHandOver().HandTo(std::vector<std::u16string>{folder}));
    EXPECT_EQ(send(win32::kHandOverDataId, packed.data(), static_cast<DWORD>(packed.size() * 2)), FALSE);
}

// The installer's shortcut names the program. (Its taskbar identity is a
// shortcut property, which Wine's shortcuts neither keep nor give back.)
TEST(ShellIntegrationTest, TheShortcutNamesTheProgram) {
    const win32::ComApartment com;
    test::TempDir dir;
    const std::u16string link = U(dir.path() / "栎弦文件校验工具.lnk");
    ASSERT_EQ(win32::CreateProgramShortcut(link), S_OK);
    win32::ComPtr<IShellLinkW> loaded;
    ASSERT_EQ(win32::LoadShortcut(link, loaded), S_OK);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(win32::GetShortcutTarget(*loaded.Get()), win32::FromWide(module));
    EXPECT_NE(win32::CreateProgramShortcut(U(dir.path() / "missing" / "x.lnk")), S_OK);
}

}  // namespace
}  // namespace qm
