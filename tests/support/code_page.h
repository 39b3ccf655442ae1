// Pins the ANSI code page for one test, whatever the machine's locale.
//
// Linux takes it from QUORVIA_ANSI_CODEPAGE, which the whole process shares;
// Windows from the calling thread's locale (CP_THREAD_ACP follows it), so
// there a thread the test starts pins it again for itself
// (kCodePageIsPerThread).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace qm::test {

#if defined(_WIN32)
inline constexpr bool kCodePageIsPerThread = true;

// "CP936"/"936" gives the thread a Chinese (PRC) locale, "CP1252"/"1252" a
// US English one; null or another name leaves the thread's own.
class ScopedCodePage {
public:
    explicit ScopedCodePage(const char* value) : saved_(GetThreadLocale()) {
        const std::string name = value ? value : "";
        if (name == "CP936" || name == "936") SetThreadLocale(MAKELCID(0x0804, SORT_DEFAULT));
        if (name == "CP1252" || name == "1252") SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT));
    }
    ~ScopedCodePage() { SetThreadLocale(saved_); }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;

private:
    LCID saved_;
};
#else
inline constexpr bool kCodePageIsPerThread = false;

// Sets QUORVIA_ANSI_CODEPAGE (an iconv name or a number; null unsets it) and
// restores what was there.
class ScopedCodePage {
public:
    explicit ScopedCodePage(const char* value) {
        if (const char* old = std::getenv("QUORVIA_ANSI_CODEPAGE")) saved_ = old;
        if (value) setenv("QUORVIA_ANSI_CODEPAGE", value, 1);
        else unsetenv("QUORVIA_ANSI_CODEPAGE");
    }
    ~ScopedCodePage() {
        if (saved_) setenv("QUORVIA_ANSI_CODEPAGE", saved_->c_str(), 1);
        else unsetenv("QUORVIA_ANSI_CODEPAGE");
    }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;

private:
    std::optional<std::string> saved_;
};
#endif

}  // namespace qm::test
