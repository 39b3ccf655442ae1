// The desktop program's start without a display: which environments let Qt
// start, how the command line and the variables are read, and what the built
// program prints and returns when it cannot open a window.
#include "desktop_qt/display_check.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace qm {
namespace {

TEST(DisplayCheckTest, DecidesFromDisplayAndPlatform) {
    struct Case {
        DisplayEnvironment environment;
        bool canOpen;
    };
    const std::vector<Case> cases = {
        {{}, false},
        {{.display = ":0"}, true},
        {{.waylandDisplay = "wayland-0"}, true},
        {{.display = ":1", .waylandDisplay = "wayland-1"}, true},
        // Platforms that draw without a window system.
        {{.qpaPlatform = "offscreen"}, true},
        {{.qpaPlatform = "minimal"}, true},
        {{.qpaPlatform = "vnc:size=800x600"}, true},
        {{.qpaPlatform = "linuxfb:fb=/dev/fb0"}, true},
        {{.qpaPlatform = "eglfs"}, true},
        // Qt tries a list in order: one entry without a display suffices.
        {{.qpaPlatform = "xcb;offscreen"}, true},
        {{.qpaPlatform = "wayland;xcb"}, false},
        // Platforms that need a display, and names that only look alike.
        {{.qpaPlatform = "xcb"}, false},
        {{.qpaPlatform = "wayland"}, false},
        {{.qpaPlatform = "offscreenx"}, false},
        {{.qpaPlatform = "OFFSCREEN"}, false},
        {{.qpaPlatform = ";"}, false},
        {{.display = ":0", .qpaPlatform = "xcb"}, true},
        // The command line's -platform overrides the variable both ways.
        {{.qpaPlatform = "xcb", .platformOption = "offscreen"}, true},
        {{.qpaPlatform = "offscreen", .platformOption = "xcb"}, false},
        {{.waylandDisplay = "wayland-0", .platformOption = "xcb"}, true},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const DisplayEnvironment& e = cases[i].environment;
        EXPECT_EQ(CanOpenWindows(e), cases[i].canOpen)
            << i << ": DISPLAY=" << e.display << " WAYLAND_DISPLAY=" << e.waylandDisplay
            << " QT_QPA_PLATFORM=" << e.qpaPlatform << " -platform " << e.platformOption;
    }
}

// Sets a variable for one test and puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

TEST(DisplayCheckTest, ReadsTheVariablesAndThePlatformOption) {
    const ScopedVariable display("DISPLAY", ":7");
    const ScopedVariable wayland("WAYLAND_DISPLAY", nullptr);
    const ScopedVariable platform("QT_QPA_PLATFORM", "xcb");

    const std::vector<const char*> none = {"list.md5", "-style", "fusion"};
    DisplayEnvironment e = CurrentDisplayEnvironment(none);
    EXPECT_EQ(e.display, ":7");
    EXPECT_EQ(e.waylandDisplay, "");
    EXPECT_EQ(e.qpaPlatform, "xcb");
    EXPECT_EQ(e.platformOption, "");

    // One or two dashes; the last one given counts.
    const std::vector<const char*> twice = {"-platform", "xcb", "a.sha1", "--platform", "offscreen"};
    EXPECT_EQ(CurrentDisplayEnvironment(twice).platformOption, "offscreen");
    // An option without its value at the end is no platform.
    const std::vector<const char*> dangling = {"a.md5", "-platform"};
    EXPECT_EQ(CurrentDisplayEnvironment(dangling).platformOption, "");
    // The value is taken as the option's, not read as another option.
    const std::vector<const char*> valueLooksLikeOption = {"-platform", "-platform", "x"};
    EXPECT_EQ(CurrentDisplayEnvironment(valueLooksLikeOption).platformOption, "-platform");
}

// The built program in an environment without a display: the message, not
// Qt's plugin failure, and the exit code, before any window code runs.
TEST(DisplayCheckTest, ProgramWithoutDisplaySaysToUseTheCommandLine) {
    const std::string expected = NoDisplayMessage();
    ASSERT_EQ(expected.find('\n'), expected.size() - 1) << "one line";
    EXPECT_NE(expected.find("quorvia-cli"), std::string::npos);

    QProcessEnvironment emptied;
    // The sanitizers' settings of the build that runs this, nothing else.
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
        if (own.contains(QString::fromLatin1(name))) emptied.insert(QString::fromLatin1(name), own.value(QString::fromLatin1(name)));
    }
    emptied.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
    QProcessEnvironment xcb = emptied;
    xcb.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    for (const QProcessEnvironment& environment : {emptied, xcb}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QM_GUI_PATH), {QStringLiteral("list.md5")});
        ASSERT_TRUE(program.waitForStarted(30000)) << program.errorString().toStdString();
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), kExitNoDisplay);
        EXPECT_EQ(program.readAllStandardError().toStdString(), expected);
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), "");
    }
}

}  // namespace
}  // namespace qm
