// Throughput of every engine the catalogue offers, as a task uses it: 1 MiB
// Update calls on data in cache, one Final per 64 MiB. A plain program (no
// benchmark library) so that the same source runs natively on Linux and as a
// Windows program, where the provider-backed engines are the system's own.
//
// Usage: catalog_throughput [seconds per run, default 1] [runs, default 3]
// Each run hashes whole MiB until the time is up. It prints one line per
// engine: the best MB/s of the runs, and the engine's digest of a fixed
// 8 MiB, which must agree between any two builds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "common/utf.h"
#include "engines/hash_catalog.h"
#include "engines/register_engines.h"

namespace {

constexpr size_t kBlock = qm::bench::kDataBlock;
constexpr size_t kBlocksPerDigest = 64;

}  // namespace

int main(int argc, char** argv) {
    const double perRun = argc > 1 ? std::strtod(argv[1], nullptr) : 1.0;
    const long runs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3;
    if (!(perRun > 0) || runs <= 0) {
        std::fprintf(stderr, "usage: catalog_throughput [seconds per run] [runs]\n");
        return 2;
    }
    const std::vector<uint8_t> data = qm::bench::MakeBenchData();
    qm::RegisterBuiltInEngines();
    qm::CQmHashCatalog& catalog = qm::GetHashCatalog();

    std::printf("%-10s %10s  %s\n", "engine", "MB/s", "digest of 8 MiB");
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const qm::HashClassEntry* entry = catalog.GetAt(i);
        std::unique_ptr<qm::CQmHashObject> engine = catalog.CreateObject(entry->classId);
        if (!engine) continue;
        double best = 0;
        for (long run = 0; run < runs; ++run) {
            using Clock = std::chrono::steady_clock;
            const auto start = Clock::now();
            double seconds = 0;
            size_t blocks = 0;
            uint8_t digest[64];
            while (seconds < perRun) {
                if (blocks % kBlocksPerDigest == 0) engine->Init();
                engine->Update(data.data(), static_cast<uint32_t>(data.size()));
                if (++blocks % kBlocksPerDigest == 0) engine->Final(digest);
                seconds = std::chrono::duration<double>(Clock::now() - start).count();
            }
            if (blocks % kBlocksPerDigest != 0) engine->Final(digest);
            best = std::max(best, static_cast<double>(blocks) * kBlock / 1e6 / seconds);
        }
        uint8_t digest[64] = {};
        engine->Init();
        for (int block = 0; block < 8; ++block) engine->Update(data.data(), static_cast<uint32_t>(data.size()));
        engine->Final(digest);
        std::u16string text;
        engine->GetHashText(digest, text);
        std::printf("%-10s %10.0f  %s\n", qm::Utf16ToUtf8(entry->name).c_str(), best, qm::Utf16ToUtf8(text).c_str());
    }
    return 0;
}
