// The Windows program's file list at a million rows and its main window
// during a task over a large tree, run under Wine (or on Windows): a plain
// program that prints figures, not a test.
//
//   wine build-win/bin/win32_view_bench.exe [rows] [tree files]
//
// First the list: the rows of a document made in memory (paths in 1,000
// directories) are shown in the real list view and sorted, and a simulated
// hasher finishes 20,000 of them between two update ticks; each step is
// timed with the repaint it causes. Then a real frame runs a new task over
// a tree of small files made in the temporary directory (removed
// afterwards), and every message the loop dispatches is timed: the longest
// is the longest time the window could neither repaint nor answer input.
// Under Wine's null display driver the window paints into memory; under an
// X display it paints for real.
#include "bench_tree.h"
#include "desktop_win32/win32_api.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/app_info.h"
#include "common/user_prompts.h"
#include "common/utf.h"
#include "desktop/command_ids.h"
#include "desktop_win32/icon_cache.h"
#include "desktop_win32/main_frame.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/task_paths.h"
#include "engines/hash_object.h"
#include "engines/register_engines.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using qm::CQmQuorviaItem;

using qm::bench::kTreeDirectories;
using qm::bench::MakeTree;
constexpr size_t kItemsPerInterval = 20000;
constexpr uint64_t kTimeBase = 132000000000000000ull;

std::u16string Number(uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

double Milliseconds(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Every message waiting, dispatched; the longest single one.
double Pump() {
    double longest = 0;
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) break;
        const Clock::time_point start = Clock::now();
        qm::win32::CQmMessageLoop::ForThread().Dispatch(message);
        longest = std::max(longest, Milliseconds(start));
    }
    return longest;
}

// Paints now what the last step made invalid.
void Paint(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
}

class SilentPrompts : public qm::CQmUserPrompts {
public:
    int MessageBox(const qm::QmMessageBoxRequest& request) override {
        std::fprintf(stderr, "box: %s\n", qm::Utf16ToUtf8(request.text).c_str());
        return IDCANCEL;
    }
    bool FileDialog(const qm::QmFileDialogRequest&, qm::QmFileDialogResult&) override { return false; }
    bool FolderDialog(qm::QmWindow, std::u16string_view, std::u16string&) override { return false; }
    void SetWaitCursor(bool) override {}
};

void FillDocument(qm::CQmQuorviaDoc& doc, size_t count) {
    std::mt19937 random(20240611);
    const size_t perDirectory = (count + kTreeDirectories - 1) / kTreeDirectories;
    static const char16_t* const stems[] = {u"IMG_", u"报告", u"Track ", u"data-", u"照片", u"readme"};
    static const char16_t* const extensions[] = {u".jpg", u".docx", u".mp3", u".bin", u".txt"};
    size_t made = 0;
    for (size_t dir = 0; dir < kTreeDirectories && made < count; ++dir) {
        std::vector<qm::QuorviaItemPtr> batch;
        const std::u16string directory = u"D:\\数据\\folder " + Number(dir) + u"\\";
        for (size_t i = 0; i < perDirectory && made < count; ++i, ++made) {
            std::u16string name = random() % 5 == 0 ? Number(random() % 100000) : u"";
            name += stems[random() % std::size(stems)];
            name += Number(made);
            name += extensions[random() % std::size(extensions)];
            const uint64_t size = random() % 3 == 0 ? random() % 1024 : random() % (64u << 20);
            batch.push_back(CQmQuorviaItem::CreateItem(directory + name, size,
                                                       kTimeBase + (random() % 100000000ull) * 10000000ull));
        }
        doc.AppendItems(batch);
    }
}

void MarkProcessed(CQmQuorviaItem* item) {
    uint8_t digest[20];
    for (size_t i = 0; i < sizeof digest; ++i) digest[i] = static_cast<uint8_t>(reinterpret_cast<uintptr_t>(item) >> (i % 8));
    item->SetHash(digest, sizeof digest, 5);
    item->SetProcessed(true);
    item->SetUpdated(true);
}

void RunList(size_t count) {
    std::printf("\n== the list: %zu rows in %zu directories ==\n", count, kTreeDirectories);
    // The frame first: it starts with an empty document.
    qm::win32::CMainFrameOptions options;
    options.completionSound = [] {};
    qm::win32::CMainFrame frame(std::move(options));
    frame.CreateFrame(SW_SHOWMAXIMIZED);
    Pump();
    qm::CQmQuorviaDoc& doc = qm::GetQuorviaDoc();
    doc.BeginTask(u"D:\\", qm::QM_HASH_SHA1, true);
    Clock::time_point start = Clock::now();
    FillDocument(doc, count);
    std::printf("document filled                       %9.0f ms\n", Milliseconds(start));
    qm::CQmFileList& list = frame.View().FileList();
    const HWND view = frame.GetListWindow();

    start = Clock::now();
    list.BeginAddItems();
    list.EndAddItems();
    const double endAdd = Milliseconds(start);
    Paint(frame.GetHwnd());
    std::printf("BeginAddItems+EndAddItems             %9.0f ms   (%.0f ms with the first paint; %d rows)\n", endAdd,
                Milliseconds(start), static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0)));
    auto timeStep = [&](const char* what, auto step) {
        const Clock::time_point stepStart = Clock::now();
        step();
        const double alone = Milliseconds(stepStart);
        Paint(frame.GetHwnd());
        std::printf("%-37s %9.0f ms   (%.0f ms with the paint)\n", what, alone, Milliseconds(stepStart));
    };
    timeStep("sort by size (column 1)", [&] { list.OnColumnClick(qm::QM_COLUMN_SIZE); });
    timeStep("sort by name (column 0)", [&] { list.OnColumnClick(qm::QM_COLUMN_NAME); });
    timeStep("sort by name again, descending", [&] { list.OnColumnClick(qm::QM_COLUMN_NAME); });
    timeStep("sort by time text (column 2)", [&] { list.OnColumnClick(qm::QM_COLUMN_TIME); });
    timeStep("sort by name (column 0)", [&] { list.OnColumnClick(qm::QM_COLUMN_NAME); });
    timeStep("collapse all", [&] { list.OnCommand(qm::ID_VIEW_COLLAPSE_ALL); });
    timeStep("expand all", [&] { list.OnCommand(qm::ID_VIEW_EXPAND_ALL); });
    timeStep("scroll to the end", [&] { SendMessageW(view, WM_KEYDOWN, VK_END, 0); });

    std::vector<CQmQuorviaItem*> items(doc.GetItemCount());
    doc.GetItems(0, items);
    list.BeginHashUpdates();
    double longestTick = 0;
    double longestPaint = 0;
    int ticks = 0;
    for (size_t done = 0; done < items.size();) {
        const size_t end = std::min(items.size(), done + kItemsPerInterval);
        for (size_t i = done; i < end; ++i) MarkProcessed(items[i]);
        done = end;
        if (done < items.size()) {
            items[done]->SetReading(true);
            items[done]->SetUpdated(true);
        }
        const Clock::time_point tickStart = Clock::now();
        list.RunUpdateTick();
        longestTick = std::max(longestTick, Milliseconds(tickStart));
        const Clock::time_point paintStart = Clock::now();
        Paint(frame.GetHwnd());
        longestPaint = std::max(longestPaint, Milliseconds(paintStart));
        ++ticks;
    }
    std::printf("update ticks (20,000 items each)      %9d      longest %.1f ms, longest paint after one %.1f ms\n",
                ticks, longestTick, longestPaint);
    list.EndHashUpdates();
    timeStep("select all", [&] { list.OnCommand(qm::ID_EDIT_SELECT_ALL); });
    timeStep("sort by size with all selected", [&] { list.OnColumnClick(qm::QM_COLUMN_SIZE); });
    timeStep("clear the list", [&] { list.Clear(); });
    doc.Clear();
}

void RunTask(size_t count) {
    std::printf("\n== a task over %zu files in %zu directories ==\n", count, kTreeDirectories);
    const fs::path root = fs::temp_directory_path() / "quorvia-win32-bench-tree";
    fs::remove_all(root);
    Clock::time_point start = Clock::now();
    MakeTree(root, count);
    std::printf("tree made                             %9.0f ms\n", Milliseconds(start));
    qm::win32::CMainFrameOptions options;
    options.completionSound = [] {};
    const std::u16string tree = root.u16string();
    options.newTaskDialog = [tree](qm::win32::CMainFrame&, const std::vector<std::u16string>&,
                                   qm::QmNewTaskChoice& choice) {
        const std::vector<std::u16string> paths = {tree};
        const qm::QmTaskPathCheck check = qm::CheckTaskPaths(paths);
        choice.algorithmId = qm::QM_HASH_SHA1;
        choice.recurseSubdirectories = true;
        choice.chosenPaths = check.chosen;
        choice.commonRoot = check.commonRoot;
        return check.status == qm::QmTaskPathStatus::Ok;
    };
    qm::win32::CMainFrame frame(std::move(options));
    frame.CreateFrame(SW_SHOWMAXIMIZED);
    Pump();
    PostMessageW(frame.GetHwnd(), WM_COMMAND, qm::ID_FILE_NEW, 0);
    start = Clock::now();
    double longest[2] = {};
    size_t over50[2] = {};
    size_t messages = 0;
    // The slow ones by what they were, so a stall can be traced to its kind.
    struct Slow {
        double ms;
        int phase;
        UINT message;
        WPARAM wParam;
    };
    std::vector<Slow> slow;
    bool started = false;
    MSG message{};
    while (!started || frame.Logic().IsRunning()) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        const int phase =
            frame.Logic().GetRunner().GetPhase() == qm::CQmTaskRunner::Phase::Hashing ? 1 : 0;
        const Clock::time_point messageStart = Clock::now();
        qm::win32::CQmMessageLoop::ForThread().Dispatch(message);
        const double spent = Milliseconds(messageStart);
        longest[phase] = std::max(longest[phase], spent);
        over50[phase] += spent > 50 ? 1 : 0;
        if (spent > 30) slow.push_back({spent, phase, message.message, message.wParam});
        ++messages;
        started = started || frame.Logic().IsRunning();
    }
    Pump();
    std::printf("task                                  %9.0f ms   (%zu messages, %d rows)\n", Milliseconds(start),
                messages, static_cast<int>(SendMessageW(frame.GetListWindow(), LVM_GETITEMCOUNT, 0, 0)));
    std::printf("longest message while enumerating     %9.1f ms   (%zu over 50 ms)\n", longest[0], over50[0]);
    std::printf("longest message while hashing         %9.1f ms   (%zu over 50 ms)\n", longest[1], over50[1]);
    std::sort(slow.begin(), slow.end(), [](const Slow& a, const Slow& b) { return a.ms > b.ms; });
    for (size_t i = 0; i < std::min<size_t>(slow.size(), 10); ++i) {
        std::printf("  %6.1f ms  %s  message 0x%04X wParam %llu\n", slow[i].ms, slow[i].phase ? "hashing    " : "enumerating",
                    slow[i].message, static_cast<unsigned long long>(slow[i].wParam));
    }
    wchar_t pane[512] = {};
    SendMessageW(frame.GetStatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(pane));
    std::printf("pane 1: %s\n", qm::Utf16ToUtf8(qm::win32::FromWide(pane)).c_str());
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const size_t files = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200000;
    const qm::win32::ComApartment com;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS;
    InitCommonControlsEx(&controls);
    qm::GetAppInfo().SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
    qm::GetAppInfo().SetTitle(u"栎弦文件校验工具");
    SilentPrompts prompts;
    qm::SetUserPrompts(&prompts);
    qm::RegisterBuiltInEngines();
    qm::win32::CreateIconList();
    if (rows > 0) RunList(rows);
    if (files > 0) RunTask(files);
    qm::win32::DestroyIconList();
    qm::SetUserPrompts(nullptr);
    return 0;
}
