// Entry of the widget tests: a private settings directory as for every test
// program, Qt on the offscreen platform, and one QApplication for the whole
// run (Qt allows one per process).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

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
    // No test reaches the desktop's session bus: launcher progress sent
    // from a test would show on the developer's own desktop. The tests of
    // the bus start a bus of their own.
    const std::string runtimeDir = std::string(g_configDir) + "/runtime";
    if (mkdir(runtimeDir.c_str(), 0700) != 0) return 2;
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
