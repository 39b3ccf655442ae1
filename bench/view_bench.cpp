// The file list at 100,000 and 1,000,000 files: how long the list takes to
// show and sort them, how long one update tick of a running hash takes, and
// what the rows cost in memory — in both forms the list model serves: the
// Qt tree view, and the flat list with a header row per group that the
// Windows program's virtual list reads (measured here without a window:
// what its notifications ask of the model for one screen of rows).
//
// A plain program, not a test: it prints figures. Items are made in memory
// (paths in 1,000 directories unless told otherwise, sizes, times) without any real file, and a
// simulated hasher marks them processed between ticks as the real one
// would. The view is shown on the offscreen platform and events are
// processed after each step, so the tree view really lays out and paints.
//
//   build/bin/view_bench [file count[/directory count] ...]
#include <malloc.h>

#include <QApplication>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/row_order.h"
#include "engines/register_engines.h"
#include "desktop/file_list.h"
#include "desktop_qt/quorvia_model.h"
#include "desktop_qt/quorvia_view.h"

namespace {

using qm::CQmQuorviaDoc;
using qm::CQmQuorviaItem;
using qm::CQuorviaView;

constexpr size_t kDefaultDirectories = 1000;
constexpr size_t kItemsPerSimulatedInterval = 20000;
constexpr uint64_t kTimeBase = 132000000000000000ull;  // 2019 as FILETIME

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

size_t HeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void Settle() { QCoreApplication::processEvents(); }

// A name of the kinds a file list holds: camera numbers, Chinese documents,
// numbered tracks, hash-like names, letter case mixed.
std::u16string MakeName(std::mt19937& random, size_t serial) {
    static const char16_t* const stems[] = {u"IMG_", u"报告", u"Track ", u"data-", u"Backup", u"照片", u"readme",
                                            u"Report ", u"chapter", u"SETUP"};
    static const char16_t* const extensions[] = {u".jpg", u".docx", u".mp3", u".bin", u".txt", u".pdf", u".zip"};
    std::u16string name;
    if (random() % 5 == 0) name = QString::number(random() % 100000).toStdU16String();  // a leading number
    name += stems[random() % std::size(stems)];
    name += QString::number(serial).toStdU16String();
    name += extensions[random() % std::size(extensions)];
    return name;
}

void FillDocument(CQmQuorviaDoc& doc, size_t count, size_t directories) {
    std::mt19937 random(20240611);
    const size_t perDirectory = (count + directories - 1) / directories;
    std::vector<qm::QuorviaItemPtr> batch;
    size_t made = 0;
    for (size_t dir = 0; dir < directories && made < count; ++dir) {
        const std::u16string directory =
            u"/home/user/数据/folder " + QString::number(static_cast<qulonglong>(dir)).toStdU16String() + u"/";
        for (size_t i = 0; i < perDirectory && made < count; ++i, ++made) {
            const uint64_t size = random() % 3 == 0 ? random() % 1024 : random() % (64u << 20);
            const uint64_t time = kTimeBase + (random() % 100000000ull) * 10000000ull;
            batch.push_back(CQmQuorviaItem::CreateItem(directory + MakeName(random, made), size, time));
        }
        doc.AppendItems(batch);  // one batch per directory, as the enumeration appends
    }
}

// What the hasher does for a finished item.
void MarkProcessed(CQmQuorviaItem* item) {
    uint8_t digest[20];
    for (size_t i = 0; i < sizeof digest; ++i) digest[i] = static_cast<uint8_t>(reinterpret_cast<uintptr_t>(item) >> (i % 8));
    item->SetHash(digest, sizeof digest, 5);
    item->SetProcessed(true);
    item->SetUpdated(true);
}

void Run(size_t count, size_t directories) {
    std::printf("\n== %zu files in %zu directories ==\n", count, directories);
    const size_t heapStart = HeapBytes();
    auto doc = std::make_unique<CQmQuorviaDoc>();
    doc->BeginTask(u"/home/user", 5, true);
    Clock::time_point start = Clock::now();
    FillDocument(*doc, count, directories);
    const size_t heapDoc = HeapBytes();
    std::printf("document filled                       %9.0f ms   %6.1f bytes/item\n", Milliseconds(start),
                double(heapDoc - heapStart) / double(count));

    auto view = std::make_unique<CQuorviaView>(*doc);
    view->resize(1400, 900);
    view->show();
    Settle();

    // All rows in and sorted, as a loaded list is shown.
    start = Clock::now();
    view->BeginAddItems();
    view->EndAddItems();
    const double endAdd = Milliseconds(start);
    Settle();
    const double shown = Milliseconds(start);
    std::printf("BeginAddItems+EndAddItems             %9.0f ms\n", endAdd);
    std::printf("  ... and laid out and painted        %9.0f ms   (%d rows)\n", shown, view->GetItemCount());
    const size_t heapView = HeapBytes();
    std::printf("model + view                                     %6.1f bytes/item\n",
                double(heapView - heapDoc) / double(count));
    std::printf("document + model + view                          %6.1f bytes/item\n",
                double(heapView - heapStart) / double(count));

    auto timeSort = [&](int column, const char* what) {
        const Clock::time_point sortStart = Clock::now();
        view->SortByColumn(column);
        const double sorted = Milliseconds(sortStart);
        Settle();
        std::printf("%-37s %9.0f ms   (%.0f ms with layout and paint)\n", what, sorted, Milliseconds(sortStart));
    };
    timeSort(qm::QM_COLUMN_SIZE, "sort by size (column 1)");
    timeSort(qm::QM_COLUMN_NAME, "sort by name (column 0)");
    timeSort(qm::QM_COLUMN_NAME, "sort by name again, descending");
    timeSort(qm::QM_COLUMN_TIME, "sort by time text (column 2)");
    timeSort(qm::QM_COLUMN_NAME, "sort by name (column 0)");

    start = Clock::now();
    view->CollapseAll();
    Settle();
    std::printf("collapse all                          %9.0f ms\n", Milliseconds(start));
    start = Clock::now();
    view->ExpandAll();
    Settle();
    std::printf("expand all                            %9.0f ms\n", Milliseconds(start));

    // A hash run: between two ticks the hasher finishes 20,000 items in
    // document order (which is the row order now) and starts on the next.
    std::vector<CQmQuorviaItem*> items(doc->GetItemCount());
    doc->GetItems(0, items);
    view->BeginHashUpdates();
    double longestTick = 0;
    double longestPaint = 0;
    double totalTicks = 0;
    int ticks = 0;
    int totalSignals = 0;
    QObject::connect(view.get(), &CQuorviaView::totalsChanged, [&] { ++totalSignals; });
    for (size_t done = 0; done < items.size();) {
        const size_t end = std::min(items.size(), done + kItemsPerSimulatedInterval);
        for (size_t i = done; i < end; ++i) {
            if (i % 100 == 7) items[i]->SetChanged(true);  // a file whose size changed since listed
            MarkProcessed(items[i]);
        }
        done = end;
        if (done < items.size()) {
            items[done]->SetReading(true);
            items[done]->SetUpdated(true);
        }
        const Clock::time_point tickStart = Clock::now();
        view->RunUpdateTick();
        const double tick = Milliseconds(tickStart);
        const Clock::time_point paintStart = Clock::now();
        Settle();
        longestPaint = std::max(longestPaint, Milliseconds(paintStart));
        longestTick = std::max(longestTick, tick);
        totalTicks += tick;
        ++ticks;
    }
    std::printf("update ticks (20,000 items each)      %9d      longest %.1f ms, mean %.1f ms\n", ticks, longestTick,
                totalTicks / ticks);
    std::printf("  longest repaint after a tick                  %6.1f ms; totals signals: %d\n", longestPaint,
                totalSignals);
    const Clock::time_point endStart = Clock::now();
    view->EndHashUpdates();
    std::printf("EndHashUpdates (nothing left)         %9.1f ms\n", Milliseconds(endStart));

    // Everything selected, then sorted: the selection follows the rows.
    start = Clock::now();
    view->SelectAllItems();
    Settle();
    std::printf("select all                            %9.0f ms\n", Milliseconds(start));
    timeSort(qm::QM_COLUMN_SIZE, "sort by size with all selected");
    start = Clock::now();
    const size_t selected = view->GetSelectedItems().size();
    std::printf("GetSelectedItems                      %9.0f ms   (%zu items)\n", Milliseconds(start), selected);
    start = Clock::now();
    view->clearSelection();
    Settle();
    std::printf("clear the selection                   %9.0f ms\n", Milliseconds(start));

    // The add phase as it runs live: the enumeration appends 20,000 files
    // between two ticks while the list already shows the earlier ones.
    start = Clock::now();
    view->BeginAddItems();
    Settle();
    std::printf("BeginAddItems over a full list        %9.0f ms\n", Milliseconds(start));
    auto liveDoc = std::move(doc);
    std::vector<qm::QuorviaItemPtr> taken = liveDoc->TakeItems();
    liveDoc->Clear();
    double longestAdd = 0;
    double longestAddLayout = 0;
    for (size_t next = 0; next < taken.size();) {
        std::vector<qm::QuorviaItemPtr> batch;
        const size_t end = std::min(taken.size(), next + kItemsPerSimulatedInterval);
        for (; next < end; ++next) batch.push_back(std::move(taken[next]));
        liveDoc->AppendItems(batch);
        const Clock::time_point tickStart = Clock::now();
        view->RunAddTick();
        longestAdd = std::max(longestAdd, Milliseconds(tickStart));
        const Clock::time_point layoutStart = Clock::now();
        Settle();
        longestAddLayout = std::max(longestAddLayout, Milliseconds(layoutStart));
    }
    std::printf("live add ticks (20,000 items each)    longest %.0f ms, longest layout after one %.0f ms\n",
                longestAdd, longestAddLayout);

    start = Clock::now();
    view.reset();
    liveDoc.reset();
    std::printf("view and document destroyed           %9.0f ms\n", Milliseconds(start));
}


// The flat form: the list's logic with a host that only counts, and a
// screen of 40 rows read after each step as a virtual list asks for them
// (every cell's text of the rows on screen).
class NullListHost : public qm::IQmFileListHost {
public:
    qm::QmWindow GetListWindow() override { return nullptr; }
    void StartTimer(uint32_t, uint32_t) override {}
    void StopTimer(uint32_t) override {}
    void ScheduleAddSlice() override { ++slices; }
    void CancelAddSlice() override {}
    void PostTotalsChanged() override {}
    void PostFrameCommand(uint32_t) override {}
    void PostListReady() override {}
    void ScrollToItem(const CQmQuorviaItem*) override {}
    void ShowFindDialog(const qm::QmFindSettings&, bool) override {}
    qm::QmWindow GetFindDialogWindow() override { return nullptr; }
    bool OpenWithShell(std::u16string_view) override { return true; }
    bool ShowInFolder(std::u16string_view) override { return true; }
    bool ShowProperties(const std::vector<std::u16string>&) override { return true; }
    bool CopyToClipboard(std::u16string_view) override { return true; }
    int slices = 0;
};

// Counts what a virtual list would redraw for the model's notices.
class FlatObserver : public qm::IQmListObserver {
public:
    explicit FlatObserver(const qm::CQmListModel& model) : model_(model) {}
    void OnListChanging(const qm::QmListChange&) override {}
    void OnListChanged(const qm::QmListChange& change) override {
        if (change.kind == qm::QmListChange::CellsChanged) {
            // The rows to redraw, as a flat range.
            const size_t first = model_.FlatIndexOf({change.group, change.first});
            if (first != qm::CQmListModel::kNoFlatIndex) redrawn += change.last - change.first + 1;
        }
    }
    size_t redrawn = 0;

private:
    const qm::CQmListModel& model_;
};

size_t ReadScreen(const qm::CQmListModel& model, size_t top) {
    size_t characters = 0;
    const size_t count = model.GetFlatRowCount();
    for (size_t i = top; i < std::min(count, top + 40); ++i) {
        const qm::QmListRow row = model.FlatRowAt(i);
        for (int column = 0; column < qm::kListColumnCount; ++column) characters += model.RowText(row, column).size();
    }
    return characters;
}

void RunFlat(size_t count, size_t directories) {
    std::printf("\n== flat form: %zu files in %zu directories ==\n", count, directories);
    const size_t heapStart = HeapBytes();
    auto doc = std::make_unique<CQmQuorviaDoc>();
    doc->BeginTask(u"/home/user", 5, true);
    FillDocument(*doc, count, directories);
    const size_t heapDoc = HeapBytes();
    NullListHost host;
    auto list = std::make_unique<qm::CQmFileList>(*doc, host);
    qm::CQmListModel& model = list->GetModel();
    FlatObserver observer(model);
    model.SetObserver(&observer);

    Clock::time_point start = Clock::now();
    list->BeginAddItems();
    list->EndAddItems();
    const double endAdd = Milliseconds(start);
    size_t read = ReadScreen(model, 0);
    std::printf("BeginAddItems+EndAddItems             %9.0f ms   (%.0f ms with the first screen; %zu rows)\n", endAdd,
                Milliseconds(start), model.GetFlatRowCount());
    const size_t heapList = HeapBytes();
    std::printf("list model                                       %6.1f bytes/item\n",
                double(heapList - heapDoc) / double(count));
    std::printf("document + list model                            %6.1f bytes/item\n",
                double(heapList - heapStart) / double(count));

    auto timeStep = [&](const char* what, auto step) {
        const Clock::time_point stepStart = Clock::now();
        step();
        read += ReadScreen(model, model.GetFlatRowCount() / 2);
        std::printf("%-37s %9.0f ms   (with a screen read in the middle)\n", what, Milliseconds(stepStart));
    };
    timeStep("sort by size (column 1)", [&] { list->OnColumnClick(qm::QM_COLUMN_SIZE); });
    timeStep("sort by name (column 0)", [&] { list->OnColumnClick(qm::QM_COLUMN_NAME); });
    timeStep("sort by name again, descending", [&] { list->OnColumnClick(qm::QM_COLUMN_NAME); });
    timeStep("sort by time text (column 2)", [&] { list->OnColumnClick(qm::QM_COLUMN_TIME); });
    timeStep("sort by name (column 0)", [&] { list->OnColumnClick(qm::QM_COLUMN_NAME); });
    timeStep("collapse all", [&] { list->OnCommand(qm::ID_VIEW_COLLAPSE_ALL); });
    timeStep("expand all", [&] { list->OnCommand(qm::ID_VIEW_EXPAND_ALL); });
    timeStep("fold the middle group", [&] { model.SetFolded(static_cast<uint32_t>(directories / 2), true); });
    timeStep("unfold it", [&] { model.SetFolded(static_cast<uint32_t>(directories / 2), false); });

    std::vector<CQmQuorviaItem*> items(doc->GetItemCount());
    doc->GetItems(0, items);
    list->BeginHashUpdates();
    double longestTick = 0;
    double totalTicks = 0;
    int ticks = 0;
    for (size_t done = 0; done < items.size();) {
        const size_t end = std::min(items.size(), done + kItemsPerSimulatedInterval);
        for (size_t i = done; i < end; ++i) {
            if (i % 100 == 7) items[i]->SetChanged(true);
            MarkProcessed(items[i]);
        }
        done = end;
        if (done < items.size()) {
            items[done]->SetReading(true);
            items[done]->SetUpdated(true);
        }
        const Clock::time_point tickStart = Clock::now();
        list->RunUpdateTick();
        read += ReadScreen(model, model.FlatIndexOf({0, 0}));
        const double tick = Milliseconds(tickStart);
        longestTick = std::max(longestTick, tick);
        totalTicks += tick;
        ++ticks;
    }
    std::printf("update ticks (20,000 items each)      %9d      longest %.1f ms, mean %.1f ms (%zu rows redrawn)\n",
                ticks, longestTick, totalTicks / ticks, observer.redrawn);
    list->EndHashUpdates();
    timeStep("select all", [&] { list->OnCommand(qm::ID_EDIT_SELECT_ALL); });
    timeStep("sort by size with all selected", [&] { list->OnColumnClick(qm::QM_COLUMN_SIZE); });
    start = Clock::now();
    const size_t selected = model.GetSelectedItems().size();
    std::printf("GetSelectedItems                      %9.0f ms   (%zu items)\n", Milliseconds(start), selected);

    start = Clock::now();
    list->BeginAddItems();
    auto liveDoc = std::move(doc);
    std::vector<qm::QuorviaItemPtr> taken = liveDoc->TakeItems();
    liveDoc->Clear();
    double longestAdd = 0;
    for (size_t next = 0; next < taken.size();) {
        std::vector<qm::QuorviaItemPtr> batch;
        const size_t end = std::min(taken.size(), next + kItemsPerSimulatedInterval);
        for (; next < end; ++next) batch.push_back(std::move(taken[next]));
        liveDoc->AppendItems(batch);
        const Clock::time_point tickStart = Clock::now();
        list->RunAddTick();
        for (int slice = 0; slice < 1000 && host.slices > 0; ++slice) {
            host.slices = 0;
            list->RunAddTick();
        }
        read += ReadScreen(model, model.GetFlatRowCount() > 40 ? model.GetFlatRowCount() - 40 : 0);
        longestAdd = std::max(longestAdd, Milliseconds(tickStart));
    }
    std::printf("live add ticks (20,000 items each)    longest %.0f ms (all slices and the last screen)\n", longestAdd);
    model.SetObserver(nullptr);
    list.reset();
    liveDoc.reset();
    std::printf("(%zu characters read)\n", read);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::setlocale(LC_ALL, "");
    // The settings store must not touch the user's own settings.
    const QString config = QDir::tempPath() + "/quorvia-view-bench-config";
    setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    qm::RegisterBuiltInEngines();

    std::vector<std::pair<size_t, size_t>> counts;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const size_t files = std::strtoull(argv[i], &end, 10);
        const size_t directories = *end == '/' ? std::strtoull(end + 1, nullptr, 10) : kDefaultDirectories;
        if (files == 0 || directories == 0) {
            std::fprintf(stderr, "usage: view_bench [file count[/directory count] ...]\n");
            return 2;
        }
        counts.emplace_back(files, directories);
    }
    if (counts.empty()) counts = {{100000, kDefaultDirectories}, {1000000, kDefaultDirectories}};
    std::printf("collation locale: %s\n", std::setlocale(LC_COLLATE, nullptr));
    for (const auto& [files, directories] : counts) {
        Run(files, directories);
        RunFlat(files, directories);
    }
    QDir(config).removeRecursively();
    return 0;
}
