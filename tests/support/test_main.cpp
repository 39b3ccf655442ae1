// Test entry: every test program runs with its settings in a private
// directory, so no test reads or writes the real home.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    char pattern[] = "/tmp/quorvia-config-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) return 2;
    setenv("XDG_CONFIG_HOME", dir, 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}
