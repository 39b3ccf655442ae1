// Command-line and drop rules of the main window (see launch_paths.h).
#include "desktop/launch_paths.h"

#include <cstring>

#include "common/os/file.h"
#include "common/os/path_rules.h"
#include "common/path_util.h"
#include "common/utf.h"

namespace qm {

namespace {

bool EqualsAsciiIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::vector<std::u16string> KeepLaunchArguments(std::span<const std::u16string> args) {
    std::vector<std::u16string> kept;
    for (const std::u16string& arg : args) {
        if (arg.empty() || arg.front() == u'-') continue;
        // "/x" is a switch unless it is an absolute path here (Linux).
        if (arg.front() == u'/' && !os::PathIsAbsolute(arg)) continue;
        if (!PathFileExists(arg)) continue;
        kept.push_back(MakeAbsolute(arg));
    }
    return kept;
}

std::u16string PackHandedOverPaths(std::span<const std::u16string> paths) {
    std::u16string packed;
    for (const std::u16string& path : paths) {
        packed += path;
        packed.push_back(u'\0');
    }
    return packed;
}

std::optional<std::vector<std::u16string>> UnpackHandedOverPaths(const void* data, size_t bytes) {
    if (bytes % sizeof(char16_t) != 0 || (bytes != 0 && !data)) return std::nullopt;
    // Copied first: the sender's buffer need not be aligned for char16_t.
    std::u16string units(bytes / sizeof(char16_t), u'\0');
    if (bytes != 0) std::memcpy(units.data(), data, bytes);
    std::vector<std::u16string> paths;
    size_t start = 0;
    while (start < units.size()) {
        const size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos || end == start || end - start > kMaxHandedOverPathLength ||
            paths.size() == kMaxHandedOverPaths)
            return std::nullopt;
        paths.emplace_back(units, start, end - start);
        start = end + 1;
    }
    return paths;
}

bool HasHashListExtension(std::u16string_view path) {
    const std::u16string_view name = PathFindFileName(path);
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos) return false;
    const std::u16string_view ext = name.substr(dot);
    return EqualsAsciiIgnoringCase(ext, u".txt") || EqualsAsciiIgnoringCase(ext, u".sha1") ||
           EqualsAsciiIgnoringCase(ext, u".md5");
}

bool ShouldProbeDroppedFile(std::span<const std::u16string> paths) {
    if (paths.size() != 1) return false;
    os::FileAttributes attributes;
    if (!os::GetPathAttributes(paths.front(), attributes)) return false;
    return attributes.kind == os::FileKind::Regular && attributes.size < kDropProbeSizeLimit;
}

}  // namespace qm
