// Engine throughput: every engine with 1 MiB Update calls on data in cache,
// each processor-specific variant on its own, and the library's EVP digest
// of the same algorithm in the same run. After the usual table a summary
// prints MB/s and the ratio ours / library per algorithm.
//
// The "AfterWideVectors" rows show why the AVX-512 CRC path ends with
// vzeroupper and why the 128-bit paths also come in VEX builds: legacy-SSE
// code run while the upper register halves are dirty can slow down badly on
// some processors. Some rows dirty them on purpose before every call, one
// runs the library's SHA-1 right after our AVX-512 CRC.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "engines/crc32.h"
#include "engines/crc32_impl.h"
#include "engines/csp_hash.h"
#include "engines/hash_115.h"
#include "engines/md5.h"
#include "engines/sha1.h"

namespace {

constexpr size_t kBlock = qm::bench::kDataBlock;

const uint8_t* Data() {
    static const std::vector<uint8_t> data = qm::bench::MakeBenchData();
    return data.data();
}

// The library's digests, from a context of the benchmark's own that also
// has the legacy provider (for MD4).
struct Library {
    OSSL_LIB_CTX* ctx = OSSL_LIB_CTX_new();
    OSSL_PROVIDER* base = OSSL_PROVIDER_load(ctx, "default");
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(ctx, "legacy");
    ~Library() {
        if (legacy) OSSL_PROVIDER_unload(legacy);
        if (base) OSSL_PROVIDER_unload(base);
        OSSL_LIB_CTX_free(ctx);
    }
};

Library& GetLibrary() {
    static Library library;
    return library;
}

void Finish(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBlock));
}

template <class MakeEngine>
void RunEngine(benchmark::State& state, MakeEngine make) {
    auto engine = make();
    engine->Init();
    const uint8_t* data = Data();
    for (auto _ : state) {
        engine->Update(data, kBlock);
        benchmark::ClobberMemory();
    }
    uint8_t digest[qm::QM_MAX_DIGEST_SIZE];
    benchmark::DoNotOptimize(engine->Final(digest));
    Finish(state);
}

void RunLibrary(benchmark::State& state, const char* name) {
    EVP_MD* md = EVP_MD_fetch(GetLibrary().ctx, name, nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (!md || !ctx || !EVP_DigestInit_ex2(ctx, md, nullptr)) {
        state.SkipWithError("the library lacks this digest");
        EVP_MD_CTX_free(ctx);
        EVP_MD_free(md);
        return;
    }
    const uint8_t* data = Data();
    for (auto _ : state) {
        EVP_DigestUpdate(ctx, data, kBlock);
        benchmark::ClobberMemory();
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(ctx, digest, &size);
    benchmark::DoNotOptimize(size);
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    Finish(state);
}

void RunCrc32Variant(benchmark::State& state, size_t index) {
    const qm::Crc32Implementation& impl = qm::GetCrc32Implementations()[index];
    if (!impl.usable) {
        state.SkipWithError("not available on this processor");
        return;
    }
    uint32_t crc = 0xFFFFFFFFu;
    const uint8_t* data = Data();
    for (auto _ : state) {
        crc = impl.update(crc, data, kBlock);
        benchmark::DoNotOptimize(crc);
    }
    Finish(state);
}

void RunSha1Variant(benchmark::State& state, size_t index) {
    const qm::Sha1Implementation& impl = qm::GetSha1Implementations()[index];
    if (!impl.usable) {
        state.SkipWithError("not available on this processor");
        return;
    }
    RunEngine(state, [&] { return std::make_unique<qm::CQmSHA1>(impl.blocks); });
}

#if defined(__x86_64__)
// Sets a 512-bit register to all ones (not a zeroing idiom, which some
// processors treat as clean) and returns without vzeroupper.
__attribute__((noinline)) void DirtyUpperHalves() { __asm__ volatile("vpternlogd $0xff, %%zmm1, %%zmm1, %%zmm1" ::: "xmm1"); }
#endif

bool HasWideVectors() {
    for (const auto& impl : qm::GetCrc32Implementations()) {
        if (std::string(impl.name) == "vpclmul") return impl.usable;
    }
    return false;
}

// The library's SHA-1 per 1 MiB, each call preceded by `before`.
template <class Before>
void RunLibrarySha1After(benchmark::State& state, Before before) {
    if (!HasWideVectors()) {
        state.SkipWithError("no AVX-512 on this processor");
        return;
    }
    EVP_MD* md = EVP_MD_fetch(GetLibrary().ctx, "SHA1", nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex2(ctx, md, nullptr);
    const uint8_t* data = Data();
    for (auto _ : state) {
        before();
        EVP_DigestUpdate(ctx, data, kBlock);
        benchmark::ClobberMemory();
    }
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    Finish(state);
}

// One of our 128-bit CRC builds per 1 MiB, each call after dirtying the
// upper halves.
void RunPclmulAfterDirty(benchmark::State& state, const char* name) {
    const qm::Crc32Implementation* pclmul = nullptr;
    for (const auto& impl : qm::GetCrc32Implementations()) {
        if (std::string(impl.name) == name && impl.usable) pclmul = &impl;
    }
    if (!HasWideVectors() || !pclmul) {
        state.SkipWithError("no AVX-512 or PCLMULQDQ on this processor");
        return;
    }
    uint32_t crc = 0xFFFFFFFFu;
    const uint8_t* data = Data();
    for (auto _ : state) {
#if defined(__x86_64__)
        DirtyUpperHalves();
#endif
        crc = pclmul->update(crc, data, kBlock);
        benchmark::DoNotOptimize(crc);
    }
    Finish(state);
}

void RegisterAll() {
    using benchmark::RegisterBenchmark;
    const auto ours = [](const char* name, auto make) {
        RegisterBenchmark((std::string("Ours/") + name).c_str(), [make](benchmark::State& s) { RunEngine(s, make); });
    };
    ours("CRC32", [] { return std::make_unique<qm::CQmCRC32>(); });
    ours("MD2", [] { return std::make_unique<qm::CQmCspMd2>(); });
    ours("MD4", [] { return std::make_unique<qm::CQmCspMd4>(); });
    ours("MD5", [] { return std::make_unique<qm::CQmMD5>(); });
    ours("SHA1", [] { return std::make_unique<qm::CQmSHA1>(); });
    ours("SHA256", [] { return std::make_unique<qm::CQmCspSha256>(); });
    ours("SHA384", [] { return std::make_unique<qm::CQmCspSha384>(); });
    ours("SHA512", [] { return std::make_unique<qm::CQmCspSha512>(); });
    ours("115", [] { return std::make_unique<qm::CQm115SHA1>(); });

    for (const char* name : {"MD4", "MD5", "SHA1", "SHA256", "SHA384", "SHA512"}) {
        RegisterBenchmark((std::string("Library/") + name).c_str(),
                          [name](benchmark::State& s) { RunLibrary(s, name); });
    }

    const auto crcs = qm::GetCrc32Implementations();
    for (size_t i = 0; i < crcs.size(); ++i) {
        RegisterBenchmark((std::string("Variant/CRC32/") + crcs[i].name).c_str(),
                          [i](benchmark::State& s) { RunCrc32Variant(s, i); });
    }
    const auto sha1s = qm::GetSha1Implementations();
    for (size_t i = 0; i < sha1s.size(); ++i) {
        RegisterBenchmark((std::string("Variant/SHA1/") + sha1s[i].name).c_str(),
                          [i](benchmark::State& s) { RunSha1Variant(s, i); });
    }

#if defined(__x86_64__)
    RegisterBenchmark("AfterWideVectors/LibrarySHA1/dirty", [](benchmark::State& s) {
        RunLibrarySha1After(s, [] { DirtyUpperHalves(); });
    });
    RegisterBenchmark("AfterWideVectors/LibrarySHA1/our-avx512-crc", [](benchmark::State& s) {
        const qm::Crc32UpdateFn crc = qm::GetCrc32Update();
        const uint8_t* data = Data();
        // A short CRC call (one 512-byte round) keeps the SHA-1 time dominant.
        RunLibrarySha1After(s, [&] { benchmark::DoNotOptimize(crc(0xFFFFFFFFu, data, 512)); });
    });
    for (const char* name : {"pclmul", "pclmul_vex"}) {
        RegisterBenchmark((std::string("AfterWideVectors/CRC32-") + name + "/dirty").c_str(),
                          [name](benchmark::State& s) { RunPclmulAfterDirty(s, name); });
    }
    RegisterBenchmark("AfterWideVectors/SHA1-ours/dirty", [](benchmark::State& s) {
        if (!HasWideVectors()) {
            s.SkipWithError("no AVX-512 on this processor");
            return;
        }
        qm::CQmSHA1 engine;
        engine.Init();
        const uint8_t* data = Data();
        for (auto _ : s) {
            DirtyUpperHalves();
            engine.Update(data, kBlock);
            benchmark::ClobberMemory();
        }
        Finish(s);
    });
#endif
}

// Collects bytes per second of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value;
        }
    }

    void PrintSummary() const {
        std::printf("\n%-10s %12s %12s %8s\n", "algorithm", "ours MB/s", "library MB/s", "ratio");
        for (const char* name : {"MD4", "MD5", "SHA1", "SHA256", "SHA384", "SHA512"}) {
            const double ours = Rate(std::string("Ours/") + name);
            const double library = Rate(std::string("Library/") + name);
            if (ours <= 0) continue;
            if (library > 0) {
                std::printf("%-10s %12.0f %12.0f %8.3f\n", name, ours / 1e6, library / 1e6, ours / library);
            } else {
                std::printf("%-10s %12.0f %12s %8s\n", name, ours / 1e6, "-", "-");
            }
        }
        const double link = Rate("Ours/115");
        const double sha1 = Rate("Ours/SHA1");
        if (link > 0 && sha1 > 0) {
            std::printf("%-10s %12.0f %12s %8.3f  (against our SHA1)\n", "115", link / 1e6, "-", link / sha1);
        }
        for (const auto& [name, rate] : rates_) {
            if (name.rfind("Ours/CRC32", 0) == 0 || name.rfind("Ours/MD2", 0) == 0 ||
                name.rfind("Variant/", 0) == 0 || name.rfind("AfterWideVectors/", 0) == 0) {
                std::printf("%-40s %10.0f MB/s\n", name.c_str(), rate / 1e6);
            }
        }
        const double plain = Rate("Library/SHA1");
        const double dirty = Rate("AfterWideVectors/LibrarySHA1/dirty");
        const double afterCrc = Rate("AfterWideVectors/LibrarySHA1/our-avx512-crc");
        if (plain > 0 && dirty > 0 && afterCrc > 0) {
            std::printf("library SHA1 after dirty upper halves: %.3f of its plain speed; after our AVX-512 CRC: %.3f\n",
                        dirty / plain, afterCrc / plain);
        }
        for (const char* name : {"pclmul", "pclmul_vex"}) {
            const double clean = Rate(std::string("Variant/CRC32/") + name);
            const double dirtyRate = Rate(std::string("AfterWideVectors/CRC32-") + name + "/dirty");
            if (clean > 0 && dirtyRate > 0) {
                std::printf("CRC32 %s after dirty upper halves: %.3f of its plain speed\n", name, dirtyRate / clean);
            }
        }
        const double ourSha1 = Rate("Ours/SHA1");
        const double ourSha1Dirty = Rate("AfterWideVectors/SHA1-ours/dirty");
        if (ourSha1 > 0 && ourSha1Dirty > 0) {
            std::printf("our SHA1 after dirty upper halves: %.3f of its plain speed\n", ourSha1Dirty / ourSha1);
        }
    }

private:
    double Rate(const std::string& name) const {
        const auto it = rates_.find(name);
        return it == rates_.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
