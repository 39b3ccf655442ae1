#include "common/string_util.h"

#include <algorithm>

#include "common/os/path_rules.h"

namespace qm {

std::optional<std::u16string_view> GetRelativePath(std::u16string_view path, std::u16string_view root) {
    if (root.empty()) return path;
    size_t rootEnd = root.size();
    while (rootEnd > 0 && os::IsPathSeparator(root[rootEnd - 1])) --rootEnd;
    // A root of only separators is the file-system root: every path that
    // begins at it lies under it.
    const bool fileSystemRoot = rootEnd == 0;
    if (fileSystemRoot) {
        if (path.empty() || !os::IsPathSeparator(path.front())) return std::nullopt;
    } else {
        if (path.size() < rootEnd || !os::PathTextEqual(path.substr(0, rootEnd), root.substr(0, rootEnd)))
            return std::nullopt;
        // A drive's root ("C:", trimmed to "C:") is a boundary of its own.
        const bool driveRoot = rootEnd == 2 && root[1] == u':' && os::PathRootLength(root) > 0;
        if (!driveRoot && path.size() > rootEnd && !os::IsPathSeparator(path[rootEnd])) return std::nullopt;
    }
    size_t pos = rootEnd;
    // Skip the separator run, so "/data//x" gives "x", not an absolute "/x".
    while (pos < path.size() && os::IsPathSeparator(path[pos])) ++pos;
    return path.substr(pos);
}

std::u16string FormatThousands(uint64_t value) {
    char16_t digits[20];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);

    std::u16string text;
    text.reserve(count + count / 3);
    for (size_t i = count; i > 0; --i) {
        text += digits[i - 1];
        if (i > 1 && (i - 1) % 3 == 0) text += u',';
    }
    return text;
}

void ReplaceChar(std::u16string& text, char16_t from, char16_t to) {
    std::replace(text.begin(), text.end(), from, to);
}

}  // namespace qm
