// Entry of the widget tests: a private settings directory as for every test
// program, Qt on the offscreen platform, and one QApplication for the whole
// run (Qt allows one per process).
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace {

char g_configDir[] = "/tmp/quorvia-config-XXXXXX";
pid_t g_mainPid = 0;

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
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
