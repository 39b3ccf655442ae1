#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "common/app_info.h"
#include "common/error_record.h"
#include "common/os/path_rules.h"
#include "common/settings_store.h"
#include "common/system_info.h"
#include "common/utf.h"
#include "support/system_text.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::u16string SystemText(uint32_t code) { return test::SystemTextFor(code); }

#if defined(_WIN32)
// A registry key of the test's own under HKEY_CURRENT_USER\SOFTWARE\Zantoria,
// removed before and after, so the user's real settings are never touched.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        product_ = u"Quorvia Test " + Utf8ToUtf16Lossy(std::to_string(GetCurrentProcessId()));
        info_.SetNames(u"栎弦文件校验工具", product_.c_str(), nullptr);
        DeleteKey();
    }
    void TearDown() override { DeleteKey(); }
    void DeleteKey() {
        const std::u16string path = info_.GetSettingsKeyPath(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(path.c_str()));
    }
    std::u16string KeyPath() const { return u"SOFTWARE\\Zantoria\\" + product_; }

    CQmAppInfo info_;
    std::u16string product_;
};
#else
// Points XDG_CONFIG_HOME at a fresh directory for one test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        info_.SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
    }
    void TearDown() override {
        if (saved_) setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
    }
    fs::path ConfigFile() const { return dir_ / "Zantoria" / "Quorvia 2.0.conf"; }
    std::u16string KeyPath() const { return u"SOFTWARE\\Zantoria\\Quorvia 2.0"; }

    test::TempDir dir_;
    CQmAppInfo info_;
    std::optional<std::string> saved_;
};
#endif

TEST(AppInfo, NamesAndTitle) {
    CQmAppInfo info;
    EXPECT_EQ(info.GetCompany(), u"Zantoria");
    EXPECT_EQ(info.GetProductKey(), u"");
    info.SetNames(nullptr, nullptr, nullptr);  // the program file's base name
    EXPECT_EQ(info.GetProductKey(), u"common_tests");
    EXPECT_EQ(info.GetAppTitle(), u" - Zantoria");

    info.SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
    EXPECT_EQ(info.GetProductKey(), u"Quorvia 2.0");
    EXPECT_EQ(info.GetAppTitle(), u"栎弦文件校验工具 - Zantoria");
    info.SetNames(nullptr, nullptr, nullptr);  // a set product key is kept
    EXPECT_EQ(info.GetProductKey(), u"Quorvia 2.0");
    info.SetTitle(u"栎弦文件校验工具");
    EXPECT_EQ(info.GetAppTitle(), u"栎弦文件校验工具");
    info.SetTitle(nullptr);
    EXPECT_EQ(info.GetAppTitle(), u"");
    EXPECT_EQ(info.GetSettingsKeyPath(nullptr), u"SOFTWARE\\Zantoria\\Quorvia 2.0");
    EXPECT_EQ(info.GetSettingsKeyPath(u"\\Recent"), u"SOFTWARE\\Zantoria\\Quorvia 2.0\\Recent");
}

TEST_F(SettingsTest, FirstRunReadFailsQuietlyThenWriteCreates) {
    EXPECT_EQ(info_.OpenSettingsKey(nullptr, KEY_READ), nullptr);
    EXPECT_EQ(GetLastErrorText(), u"打开注册表键值 " + KeyPath() + u" 失败:" + SystemText(os::kErrorNotFound));

    auto writer = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(WriteRegistryValue(*writer, u"HashAlg", 11));

    auto reader = info_.OpenSettingsKey(nullptr, KEY_READ);
    ASSERT_NE(reader, nullptr);
    int32_t alg = 5;
    ASSERT_TRUE(ReadRegistryValue(*reader, u"HashAlg", alg));
    EXPECT_EQ(alg, 11);
}

#if defined(_WIN32)
TEST_F(SettingsTest, TheStoreIsTheUsersRegistryHive) {
    EXPECT_EQ(info_.GetSettingsLocation(), u"HKEY_CURRENT_USER\\" + KeyPath());
    auto writer = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(WriteRegistryValue(*writer, u"HashAlg", 9));
    // A DWORD value, where other programs (and regedit) see it.
    const std::u16string path = KeyPath();
    DWORD type = 0, data = 0, size = sizeof data;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(path.c_str()), L"HashAlg",
                           RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 9u);

    // A key opened for reading cannot write; the system says why.
    auto reader = info_.OpenSettingsKey(nullptr, KEY_READ);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(WriteRegistryValue(*reader, u"HashAlg", 1));
    EXPECT_EQ(GetLastErrorText(), u"设置注册表键值失败:" + SystemText(os::kErrorAccessDenied));
    uint32_t value = 0;
    EXPECT_TRUE(ReadRegistryValue(*reader, u"HashAlg", value));
    EXPECT_EQ(value, 9u);
}
#else
TEST_F(SettingsTest, TheStoreIsAnIniFileInTheConfigHome) {
    EXPECT_EQ(info_.GetSettingsLocation(), PathFromOs(ConfigFile().string()));
    EXPECT_EQ(info_.OpenSettingsKey(nullptr, KEY_READ), nullptr);
    EXPECT_FALSE(fs::exists(ConfigFile()));
    auto writer = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(fs::exists(ConfigFile()));
    ASSERT_TRUE(WriteRegistryValue(*writer, u"HashAlg", 11));
    EXPECT_EQ(test::ReadBytes(ConfigFile()), "[SOFTWARE\\Zantoria\\Quorvia 2.0]\nHashAlg=11\n");
}
#endif

TEST_F(SettingsTest, SuccessLeavesTheErrorRecordAlone) {
    // The document writes its setting while its caller's error is pending.
    SetErrorText(0, u"不支持的算法类型。");
    auto key = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(WriteRegistryValue(*key, u"HashAlg", 4));
    uint32_t value = 0;
    ASSERT_TRUE(ReadRegistryValue(*key, u"HashAlg", value));
    EXPECT_EQ(GetLastErrorText(), u"不支持的算法类型。");
}

TEST_F(SettingsTest, MissingValueKeepsTheCallersDefault) {
    auto key = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(key, nullptr);
    uint32_t value = 5;
    EXPECT_FALSE(ReadRegistryValue(*key, u"HashAlg", value));
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(GetLastErrorText(), u"获取注册表键值失败:" + SystemText(os::kErrorNotFound));
    int32_t signedDefault = -1;
    EXPECT_FALSE(ReadRegistryValue(*key, u"HashAlg", signedDefault));
    EXPECT_EQ(signedDefault, -1);

    ASSERT_TRUE(WriteRegistryValue(*key, u"Signed", static_cast<uint32_t>(-7)));
    int32_t signedValue = 0;
    EXPECT_TRUE(ReadRegistryValue(*key, u"Signed", signedValue));
    EXPECT_EQ(signedValue, -7);
}

#if !defined(_WIN32)
// The rest is about the settings file itself.

TEST_F(SettingsTest, BadValueTextKeepsTheCallersDefault) {
    auto key = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(key, nullptr);
    uint32_t value = 5;
    for (const char* bad : {"abc", "", "99999999999", "0x", "12x", "-2147483649"}) {
        dir_.Write("Zantoria/Quorvia 2.0.conf", std::string("[SOFTWARE\\Zantoria\\Quorvia 2.0]\nHashAlg=") + bad);
        EXPECT_FALSE(ReadRegistryValue(*key, u"HashAlg", value)) << bad;
        EXPECT_EQ(value, 5u);
    }
    EXPECT_EQ(GetLastErrorText(), u"获取注册表键值失败:" + SystemText(os::kErrorInvalidArgument));

    dir_.Write("Zantoria/Quorvia 2.0.conf", "[SOFTWARE\\Zantoria\\Quorvia 2.0]\r\n  HashAlg = 0x0B \r\n");
    EXPECT_TRUE(ReadRegistryValue(*key, u"HashAlg", value));
    EXPECT_EQ(value, 11u);
}

TEST_F(SettingsTest, RewriteKeepsOtherSectionsAndCommentsAndReplacesInPlace) {
    dir_.Write("Zantoria/Quorvia 2.0.conf",
               "; written by hand\n[Other]\nHashAlg=1\n\n[SOFTWARE\\Zantoria\\Quorvia 2.0]\nHashAlg=4\nKeep=x\n\n"
               "[Last]\nA=2\n");
    auto key = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(WriteRegistryValue(*key, u"HashAlg", 9));
    ASSERT_TRUE(WriteRegistryValue(*key, u"New", 3));
    EXPECT_EQ(test::ReadBytes(ConfigFile()),
              "; written by hand\n[Other]\nHashAlg=1\n\n[SOFTWARE\\Zantoria\\Quorvia 2.0]\nHashAlg=9\nKeep=x\nNew=3\n\n"
              "[Last]\nA=2\n");

    // Storing what the file already says leaves it untouched (the program
    // stores its algorithm at every exit); a new value rewrites it.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(ConfigFile(), old);
    ASSERT_TRUE(WriteRegistryValue(*key, u"HashAlg", 9));
    EXPECT_EQ(fs::last_write_time(ConfigFile()), old);
    ASSERT_TRUE(WriteRegistryValue(*key, u"HashAlg", 8));
    EXPECT_NE(fs::last_write_time(ConfigFile()), old);
    ASSERT_TRUE(WriteRegistryValue(*key, u"HashAlg", 9));

    auto sub = info_.OpenSettingsKey(u"Sub", KEY_WRITE);
    ASSERT_NE(sub, nullptr);
    ASSERT_TRUE(WriteRegistryValue(*sub, u"HashAlg", 7));
    uint32_t main = 0, inSub = 0;
    EXPECT_TRUE(ReadRegistryValue(*key, u"HashAlg", main));
    EXPECT_TRUE(ReadRegistryValue(*sub, u"HashAlg", inSub));
    EXPECT_EQ(main, 9u);
    EXPECT_EQ(inSub, 7u);
}

TEST_F(SettingsTest, CorruptFilesReadAsNoValueAndAreReplacedOnWrite) {
    std::string garbage(4096, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 37 + (i >> 5));
    dir_.Write("Zantoria/Quorvia 2.0.conf", garbage);
    EXPECT_EQ(info_.OpenSettingsKey(nullptr, KEY_READ), nullptr);

    dir_.Write("Zantoria/Quorvia 2.0.conf", std::string(2 << 20, '['));  // far too large to be ours
    EXPECT_EQ(info_.OpenSettingsKey(nullptr, KEY_READ), nullptr);
    auto key = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(WriteRegistryValue(*key, u"HashAlg", 4));
    uint32_t value = 0;
    EXPECT_TRUE(ReadRegistryValue(*key, u"HashAlg", value));
    EXPECT_EQ(value, 4u);
}

TEST_F(SettingsTest, WriteFailures) {
    auto writer = info_.OpenSettingsKey(nullptr, KEY_WRITE);
    ASSERT_NE(writer, nullptr);
    auto reader = info_.OpenSettingsKey(nullptr, KEY_READ);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(WriteRegistryValue(*reader, u"HashAlg", 1));
    EXPECT_EQ(GetLastErrorText(), u"设置注册表键值失败:" + SystemText(os::kErrorAccessDenied));
    EXPECT_FALSE(WriteRegistryValue(*writer, u"Bad=Name", 1));
    EXPECT_EQ(GetLastErrorText(), u"设置注册表键值失败:" + SystemText(os::kErrorInvalidArgument));

    // The settings file cannot be replaced when its name is a directory.
    fs::remove(ConfigFile());
    fs::create_directory(ConfigFile());
    EXPECT_FALSE(WriteRegistryValue(*writer, u"HashAlg", 1));
    EXPECT_EQ(GetLastErrorText(), u"设置注册表键值失败:" + SystemText(os::kErrorIsDirectory));
}

TEST_F(SettingsTest, UncreatableDirectoryFailsTheOpen) {
    const auto blocker = dir_.Write("file", "not a directory");
    setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    EXPECT_EQ(info_.OpenSettingsKey(nullptr, KEY_WRITE), nullptr);
    EXPECT_EQ(GetLastErrorText(), u"打开注册表键值 SOFTWARE\\Zantoria\\Quorvia 2.0 失败:" + SystemText(os::kErrorNotDirectory));
}

TEST_F(SettingsTest, ConfigHomeFallsBackToHome) {
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    const std::optional<std::string> savedHome = home ? std::optional<std::string>(home) : std::nullopt;
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(os::GetConfigHome(), u"/home/someone/.config");
    if (savedHome) setenv("HOME", savedHome->c_str(), 1);
    else unsetenv("HOME");
}

#endif

TEST(SystemInfo, TickCountIsMillisecondsAndProgramPathIsAbsolute) {
    const uint64_t before = QueryTickCount64();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint64_t after = QueryTickCount64();
    EXPECT_GE(after - before, 30u);  // a lower bound only: the clock is in milliseconds
    EXPECT_LT(after - before, 60000u);

    const std::u16string program = GetProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(os::PathIsAbsolute(program));
#if defined(_WIN32)
    const std::u16string name = u"\\common_tests.exe";
#else
    const std::u16string name = u"/common_tests";
#endif
    ASSERT_GT(program.size(), name.size());
    EXPECT_TRUE(os::PathTextEqual(program.substr(program.size() - name.size()), name));
}

}  // namespace
}  // namespace qm
