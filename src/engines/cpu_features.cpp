// Processor feature detection through CPUID and XGETBV.
#include "engines/cpu_features.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace qm {
namespace {

#if defined(__x86_64__) || defined(__i386__)
unsigned long long ReadXcr0() {
    unsigned eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<unsigned long long>(edx) << 32) | eax;
}
#endif

CpuFeatures Detect() {
    CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return f;
    f.ssse3 = (ecx & (1u << 9)) != 0;
    f.sse41 = (ecx & (1u << 19)) != 0;
    f.pclmul = (ecx & (1u << 1)) != 0;
    const bool osxsave = (ecx & (1u << 27)) != 0;
    const bool osYmm = osxsave && (ReadXcr0() & 0x6) == 0x6;
    f.avx = (ecx & (1u << 28)) != 0 && osYmm;

    unsigned ebx7 = 0, ecx7 = 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx7, &ecx7, &edx)) {
        f.sha = (ebx7 & (1u << 29)) != 0;
        const bool avx512f = (ebx7 & (1u << 16)) != 0;
        const bool avx512vl = (ebx7 & (1u << 31)) != 0;
        const bool vpclmul = (ecx7 & (1u << 10)) != 0;
        // XMM, YMM, opmask, upper ZMM halves and ZMM16-31 must all be saved
        // by the kernel before 512-bit registers may be touched.
        const bool osZmm = osxsave && (ReadXcr0() & 0xE6) == 0xE6;
        f.avx512Vpclmul = avx512f && avx512vl && vpclmul && osZmm && f.pclmul;
    }
#endif
    return f;
}

}  // namespace

const CpuFeatures& GetCpuFeatures() {
    static const CpuFeatures features = Detect();
    return features;
}

bool IsPortableCodeForced() {
    static const bool forced = [] {
        const char* value = std::getenv("QUORVIA_FORCE_PORTABLE");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return forced;
}

}  // namespace qm
