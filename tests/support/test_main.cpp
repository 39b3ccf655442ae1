// Test entry: every test program runs with its settings in a private
// place, so no test reads or writes the real ones.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#if defined(_WIN32)

#include <windows.h>

namespace {

// The settings live in the registry under the current user. Under Wine the
// tests run in the build's own prefix, whose user is private to the build,
// and the test program starts from no saved value, as the Linux one does from
// an empty settings directory; on a real Windows the user's value is left
// alone.
void ForgetSavedSettings() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Zantoria\\Quorvia 2.0");
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ForgetSavedSettings();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#else

#include <unistd.h>

namespace {

char g_configDir[] = "/tmp/quorvia-config-XXXXXX";
pid_t g_mainPid = 0;

// Runs after the destructors of statics made during the tests (the
// process-wide hash document writes its setting there at exit), and only in
// the test process itself, not in a death test's child.
void RemoveConfigDir() {
    if (getpid() != g_mainPid) return;
    std::error_code ec;
    std::filesystem::remove_all(g_configDir, ec);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (!mkdtemp(g_configDir)) return 2;
    g_mainPid = getpid();
    std::atexit(RemoveConfigDir);
    setenv("XDG_CONFIG_HOME", g_configDir, 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#endif
