// Memory and speed of the hash document with many items, the reading of a
// link list with very many directory fields, and the loading of a list of
// 100,000 lines with and without broken ones.
//
// The document must hold 100,000 items with 60-character paths in at most
// 500 bytes per item, everything counted: the item, its path and the item
// array. Heap use is measured with mallinfo2 around building the document.
#include <malloc.h>
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/hash_list.h"
#include "document/quorvia_doc.h"
#include "common/utf.h"
#include "engines/register_engines.h"

namespace {

constexpr size_t kItems = 100'000;
constexpr size_t kPathChars = 60;
constexpr double kBudgetPerItem = 500.0;

// "/home/user/photos/2019/summer/IMG_000042_…", exactly kPathChars long.
std::u16string PathOf(size_t index) {
    char number[16];
    std::snprintf(number, sizeof number, "%06zu", index);
    std::u16string path = u"/home/user/photos/2019/summer/IMG_";
    for (const char* p = number; *p; ++p) path += static_cast<char16_t>(*p);
    path += u"_";
    while (path.size() < kPathChars - 4) path += u'x';
    path += u".jpg";
    return path;
}

// Appends like the enumeration does: one batch per directory of 100 files.
void Fill(qm::CQmQuorviaDoc& doc) {
    std::vector<qm::QuorviaItemPtr> batch;
    batch.reserve(100);
    for (size_t i = 0; i < kItems; ++i) {
        batch.push_back(qm::CQmQuorviaItem::CreateItem(PathOf(i), 4096 + i, 132000000000000000ull + i));
        if (batch.size() == 100) doc.AppendItems(batch);
    }
    doc.AppendItems(batch);
}

void BM_DocumentMemoryPerItem(benchmark::State& state) {
    double perItem = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        auto doc = std::make_unique<qm::CQmQuorviaDoc>();
        Fill(*doc);
        state.PauseTiming();
        const size_t after = mallinfo2().uordblks;
        perItem = static_cast<double>(after - before) / kItems;
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["bytes_per_item"] = perItem;
    state.counters["items"] = kItems;
    state.counters["sizeof_item"] = sizeof(qm::CQmQuorviaItem);
    if (perItem > kBudgetPerItem) state.SkipWithError("over the budget of 500 bytes per item");
}
BENCHMARK(BM_DocumentMemoryPerItem)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the list view does every half second: read every item in batches of
// 100 under the lock and poll its flags.
void BM_DocumentPollAll(benchmark::State& state) {
    qm::CQmQuorviaDoc doc;
    Fill(doc);
    qm::CQmQuorviaItem* buffer[100];
    for (auto _ : state) {
        size_t processed = 0;
        for (size_t start = 0;;) {
            const size_t n = doc.GetItems(start, buffer);
            for (size_t i = 0; i < n; ++i) processed += buffer[i]->IsProcessed() + buffer[i]->IsUpdated();
            if (n < 100) break;
            start += n;
        }
        benchmark::DoNotOptimize(processed);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_DocumentPollAll)->Unit(benchmark::kMillisecond);

// A tree of many small directories: the enumeration appends two items at a
// time. Appending must stay linear in the items already held.
void BM_DocumentAppendSmallBatches(benchmark::State& state) {
    std::vector<qm::QuorviaItemPtr> items;
    for (size_t i = 0; i < kItems; ++i) items.push_back(qm::CQmQuorviaItem::CreateItem(PathOf(i), 1, 1));
    std::vector<qm::QuorviaItemPtr> batch;
    for (auto _ : state) {
        state.PauseTiming();
        qm::CQmQuorviaDoc doc;
        state.ResumeTiming();
        for (size_t i = 0; i < kItems; i += 2) {
            batch.push_back(std::move(items[i]));
            batch.push_back(std::move(items[i + 1]));
            doc.AppendItems(batch);
        }
        state.PauseTiming();
        std::vector<qm::QuorviaItemPtr> back = doc.TakeItems();
        for (size_t i = 0; i < kItems; ++i) items[i] = std::move(back[i]);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_DocumentAppendSmallBatches)->Unit(benchmark::kMillisecond);

// Handing the document the list view's sorted order before a run.
void BM_DocumentReplaceItems(benchmark::State& state) {
    qm::CQmQuorviaDoc doc;
    Fill(doc);
    std::vector<qm::CQmQuorviaItem*> order(kItems);
    doc.GetItems(0, order);
    for (auto _ : state) {
        std::reverse(order.begin(), order.end());
        if (!doc.ReplaceItems(order)) state.SkipWithError("order refused");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_DocumentReplaceItems)->Unit(benchmark::kMillisecond);

// Reading a 115 link list whose one line has state.range(0) directory
// fields: the time must grow linearly with the line's length.
void BM_LinkListManyDirectoryFields(benchmark::State& state) {
    const size_t fields = static_cast<size_t>(state.range(0));
    std::vector<std::u16string> lines(1, u"115://f.bin|1|" + std::u16string(40, u'A') + u"|" + std::u16string(40, u'B'));
    for (size_t i = 0; i < fields; ++i) lines[0] += i % 3 == 2 ? u"|.." : u"|dir";
    qm::CQmQuorviaDoc doc;
    std::vector<qm::QmUnreadableLine> unreadable;
    for (auto _ : state) {
        if (!qm::ParseListLines(lines, doc, {}, unreadable)) state.SkipWithError("line refused");
        state.PauseTiming();
        doc.TakeItems();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * lines[0].size() * sizeof(char16_t)));
}
BENCHMARK(BM_LinkListManyDirectoryFields)
    ->Unit(benchmark::kMillisecond)
    ->RangeMultiplier(4)
    ->Range(2500, 160000)
    ->Complexity(benchmark::oN);

}  // namespace

// 100,000 empty files and two SHA1 lists of them, one line each: one clean,
// one with three lines broken in the three ways a line can be (no
// separator, a hash of the wrong length, a tag of another algorithm). Made
// once, in a folder of its own that also keeps the documents' saved
// algorithm out of the user's settings.
class ListOfManyLines {
public:
    static const ListOfManyLines& Get() {
        static const ListOfManyLines files;
        return files;
    }
    ~ListOfManyLines() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::u16string clean;
    std::u16string broken;

private:
    ListOfManyLines() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvia-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        qm::RegisterBuiltInEngines();
        std::string cleanText, brokenText;
        for (size_t i = 0; i < kItems; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "file-%06zu.bin", i);
            std::ofstream(dir_ / name).flush();
            std::string line = std::string(40, 'a') + "  " + name + "\n";
            cleanText += line;
            if (i == 10) line = "no-separator\n";
            if (i == kItems / 2) line = std::string(39, 'a') + "  " + name + "\n";
            if (i == kItems - 10) line = "MD5 (" + std::string(name) + ") = " + std::string(32, 'a') + "\n";
            brokenText += line;
        }
        std::ofstream(dir_ / "clean.sha1") << cleanText;
        std::ofstream(dir_ / "broken.sha1") << brokenText;
        clean = qm::PathFromOs((dir_ / "clean.sha1").string());
        broken = qm::PathFromOs((dir_ / "broken.sha1").string());
    }
    std::filesystem::path dir_;
};

// Loading the list of 100,000 lines, clean (0) or with 3 broken lines (3):
// the broken ones must cost nothing the others do not, so the two figures
// stay within 10 % of each other, and the 3 are reported.
void BM_LoadListOf100kLines(benchmark::State& state) {
    const ListOfManyLines& files = ListOfManyLines::Get();
    const size_t brokenLines = static_cast<size_t>(state.range(0));
    const std::u16string& list = brokenLines == 0 ? files.clean : files.broken;
    qm::CQmQuorviaDoc doc;
    for (auto _ : state) {
        if (!doc.LoadHashList(list)) state.SkipWithError("the list did not load");
    }
    state.counters["unreadable"] = static_cast<double>(doc.GetUnreadableLines().size());
    if (doc.GetUnreadableLines().size() != brokenLines) state.SkipWithError("another number of broken lines");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_LoadListOf100kLines)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

// What quorvia-cli does once a run of 100,000 files is over: the list's
// lines composed and encoded as UTF-8.
void BM_ComposeAndEncodeList(benchmark::State& state) {
    qm::RegisterBuiltInEngines();
    qm::CQmQuorviaDoc doc;
    if (!doc.BeginTask(u"/home/user", qm::QM_HASH_SHA1, true)) state.SkipWithError("no task");
    Fill(doc);
    uint8_t digest[20];
    for (size_t i = 0; qm::CQmQuorviaItem* item = doc.GetItemAt(i); ++i) {
        for (size_t b = 0; b < sizeof digest; ++b) digest[b] = static_cast<uint8_t>(i * 31 + b);
        item->SetHash(digest, sizeof digest, qm::QM_HASH_SHA1);
    }
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string out = qm::Utf16ToUtf8(qm::ComposeHashLines(doc, u"/home/user", true));
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_ComposeAndEncodeList)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
