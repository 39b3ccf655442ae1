#include "common/string_util.h"

#include <algorithm>

namespace qm {

std::optional<std::u16string_view> GetRelativePath(std::u16string_view path, std::u16string_view root) {
    if (root.empty()) return path;
    size_t rootEnd = root.size();
    while (rootEnd > 0 && root[rootEnd - 1] == u'/') --rootEnd;
    // A root of only separators is the file-system root: every absolute path
    // lies under it.
    const bool fileSystemRoot = rootEnd == 0;
    if (fileSystemRoot) {
        if (path.empty() || path.front() != u'/') return std::nullopt;
    } else {
        if (path.substr(0, rootEnd) != root.substr(0, rootEnd)) return std::nullopt;
        if (path.size() > rootEnd && path[rootEnd] != u'/') return std::nullopt;
    }
    size_t pos = rootEnd;
    // Skip the separator run, so "/data//x" gives "x", not an absolute "/x".
    while (pos < path.size() && path[pos] == u'/') ++pos;
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
