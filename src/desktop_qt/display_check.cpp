// Whether the desktop program has a screen to open its window on (see
// display_check.h).
#include "desktop_qt/display_check.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace qm {

namespace {

// Qt's platform plugins that draw into memory, a framebuffer, the kernel's
// display device or a remote viewer, without a window system to connect to.
constexpr std::array<std::string_view, 7> kPlatformsWithoutDisplay = {
    "offscreen", "minimal", "minimalegl", "vnc", "linuxfb", "eglfs", "vkkhrdisplay",
};

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// A platform names its plugin, optionally followed by ":options".
bool NeedsNoDisplay(std::string_view platform) {
    platform = platform.substr(0, platform.find(':'));
    for (std::string_view name : kPlatformsWithoutDisplay) {
        if (platform == name) return true;
    }
    return false;
}

// Qt tries the entries of "a;b;c" in order, so one that needs no display is
// enough for it to start.
bool AnyNeedsNoDisplay(std::string_view platforms) {
    while (true) {
        const size_t end = platforms.find(';');
        if (NeedsNoDisplay(platforms.substr(0, end))) return true;
        if (end == std::string_view::npos) return false;
        platforms.remove_prefix(end + 1);
    }
}

}  // namespace

DisplayEnvironment CurrentDisplayEnvironment(std::span<const char* const> args) {
    DisplayEnvironment environment;
    environment.display = Variable("DISPLAY");
    environment.waylandDisplay = Variable("WAYLAND_DISPLAY");
    environment.qpaPlatform = Variable("QT_QPA_PLATFORM");
    // Qt reads "-platform NAME" and "--platform NAME"; the last one counts.
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "-platform" || arg == "--platform") environment.platformOption = args[++i];
    }
    return environment;
}

bool CanOpenWindows(const DisplayEnvironment& environment) {
    const std::string& platform =
        environment.platformOption.empty() ? environment.qpaPlatform : environment.platformOption;
    if (!platform.empty() && AnyNeedsNoDisplay(platform)) return true;
    return !environment.display.empty() || !environment.waylandDisplay.empty();
}

std::string NoDisplayMessage() {
    return "quorvia：没有可用的图形显示（DISPLAY 和 WAYLAND_DISPLAY 均未设置），"
           "无法打开窗口；在终端中请使用命令行程序 quorvia-cli（quorvia-cli --help 查看用法）。\n";
}

}  // namespace qm
