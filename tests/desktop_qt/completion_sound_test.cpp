// The completion chime: the bundled sound's format, and that playing never
// holds up the caller.
#include "desktop_qt/completion_sound.h"

#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/error_record.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}
uint16_t Le16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

std::filesystem::path DefaultFile() { return QString::fromStdU16String(CQmCompletionSound::DefaultSoundFile()).toStdString(); }

TEST(CompletionSoundTest, BundledChimeIsPcmMono16Bit22050HzOfAboutOneSecond) {
    // The build puts the chime where the program in bin/ looks for it.
    const std::filesystem::path file = DefaultFile();
    ASSERT_TRUE(std::filesystem::is_regular_file(file)) << file;
    const std::string bytes = test::ReadBytes(file);
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");

    // Walk the chunks: "fmt " before "data", each padded to even length.
    size_t at = 12;
    bool haveFormat = false;
    uint32_t dataSize = 0;
    bool haveData = false;
    while (at + 8 <= bytes.size() && !haveData) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = Le32(bytes, at + 4);
        ASSERT_LE(at + 8 + size, bytes.size()) << id;
        if (id == "fmt ") {
            ASSERT_GE(size, 16u);
            EXPECT_EQ(Le16(bytes, at + 8), 1) << "PCM";
            EXPECT_EQ(Le16(bytes, at + 10), 1) << "mono";
            EXPECT_EQ(Le32(bytes, at + 12), 22050u);
            EXPECT_EQ(Le32(bytes, at + 16), 22050u * 2);  // byte rate
            EXPECT_EQ(Le16(bytes, at + 20), 2);           // block align
            EXPECT_EQ(Le16(bytes, at + 22), 16);
            haveFormat = true;
        } else if (id == "data") {
            EXPECT_TRUE(haveFormat) << "format after the samples";
            dataSize = size;
            haveData = true;
            // The first and last samples are near silence, so neither edge
            // of the sound clicks.
            const int16_t first = static_cast<int16_t>(Le16(bytes, at + 8));
            const int16_t last = static_cast<int16_t>(Le16(bytes, at + 8 + size - 2));
            EXPECT_LE(std::abs(first), 64);
            EXPECT_LE(std::abs(last), 64);
        }
        at += 8 + size + (size & 1);
    }
    ASSERT_TRUE(haveData);
    const double seconds = dataSize / 2 / 22050.0;
    EXPECT_GE(seconds, 0.7);
    EXPECT_LE(seconds, 1.5);
}

TEST(CompletionSoundTest, PlayReturnsAtOnceAndLeavesTheErrorRecord) {
    SetErrorText(0, u"earlier failure");
    CQmCompletionSound sound;
    const auto start = std::chrono::steady_clock::now();
    sound.Play();  // heard or not, depending on the machine's sound server
    sound.Play();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Shorter than the chime itself: the calls never wait for it to end.
    EXPECT_LT(elapsed, std::chrono::milliseconds(900));
    EXPECT_EQ(GetLastErrorText(), u"earlier failure");
}

// The desktop's switch, set through GIO's key-file settings backend in a
// child process: GIO picks its backend once per process, and the child's
// environment and settings file stay its own.
int PlayWithEventSounds(bool on) {
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (!config) return 3;
    const std::filesystem::path dir = std::filesystem::path(config) / "glib-2.0" / "settings";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "keyfile") << "[org/gnome/desktop/sound]\nevent-sounds=" << (on ? "true" : "false") << "\n";
    if (CQmCompletionSound::DesktopEventSoundsEnabled() != on) return 4;
    CQmCompletionSound sound;
    // Switched off, libcanberra refuses before it looks for a sound server.
    if (!on && sound.Play()) return 5;
    return 0;
}

bool HaveSoundSetting() {
    return std::filesystem::exists("/usr/share/glib-2.0/schemas/org.gnome.desktop.sound.gschema.xml");
}

TEST(CompletionSoundDeathTest, FollowsTheDesktopEventSoundSwitch) {
    if (!HaveSoundSetting()) GTEST_SKIP() << "no desktop sound settings schema";
    EXPECT_EXIT(std::_Exit(PlayWithEventSounds(false)), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(std::_Exit(PlayWithEventSounds(true)), ::testing::ExitedWithCode(0), "");
}

TEST(CompletionSoundTest, MissingSoundFileDoesNotPlay) {
    test::TempDir dir;
    CQmCompletionSound missing(QString::fromStdString((dir / "none.wav").string()).toStdU16String());
    EXPECT_FALSE(missing.Play());
    // A directory where the file should be.
    CQmCompletionSound directory(QString::fromStdString(dir.path().string()).toStdU16String());
    EXPECT_FALSE(directory.Play());
}

}  // namespace
}  // namespace qm
