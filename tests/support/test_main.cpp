// Test entry: every test program runs with its settings in a private
// directory, so no test reads or writes the real home.
#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

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
