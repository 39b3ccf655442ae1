// What the processor offers the engines, read once.
//
// The engines pick their implementation when first used (a function-local
// static resolved once); QUORVIA_FORCE_PORTABLE=1 in the environment makes
// every engine take its portable code, so both paths can be compared.
#pragma once

namespace qm {

struct CpuFeatures {
    bool ssse3 = false;
    bool sse41 = false;
    bool pclmul = false;
    bool sha = false;
    // AVX with the operating system saving the 256-bit registers: code built
    // with VEX encoding may run.
    bool avx = false;
    // AVX-512 foundation + vector-length extensions with VPCLMULQDQ, and an
    // operating system that saves the wide registers.
    bool avx512Vpclmul = false;
};

const CpuFeatures& GetCpuFeatures();

// True when QUORVIA_FORCE_PORTABLE is "1" (read once).
bool IsPortableCodeForced();

}  // namespace qm
