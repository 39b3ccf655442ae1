#include "common/path_util.h"

#include <vector>

#include "common/os/file.h"

namespace qm {

std::u16string NormalizePath(std::u16string_view path) {
    if (path.empty()) return {};
    const bool absolute = path.front() == u'/';
    std::vector<std::u16string_view> parts;
    size_t unresolvedParents = 0;  // leading ".." of a relative path
    size_t pos = 0;
    while (pos < path.size()) {
        size_t end = path.find(u'/', pos);
        if (end == std::u16string_view::npos) end = path.size();
        const std::u16string_view part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (parts.size() > unresolvedParents) {
                parts.pop_back();
            } else if (!absolute) {
                parts.push_back(part);
                ++unresolvedParents;
            }
            continue;
        }
        parts.push_back(part);
    }

    std::u16string out;
    out.reserve(path.size());
    if (absolute) out += u'/';
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += u'/';
        out += parts[i];
    }
    if (out.empty()) out.push_back(u'.');
    return out;
}

std::u16string PathCombine(std::u16string_view dir, std::u16string_view more) {
    if (!more.empty() && more.front() == u'/') return NormalizePath(more);
    if (dir.empty()) return NormalizePath(more);
    if (more.empty()) return NormalizePath(dir);
    std::u16string joined(dir);
    joined += u'/';
    joined += more;
    return NormalizePath(joined);
}

void PathAppend(std::u16string& path, std::u16string_view more) {
    while (!more.empty() && more.front() == u'/') more.remove_prefix(1);
    path = PathCombine(path, more);
}

std::u16string_view PathFindDirectory(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos) return {};
    size_t end = slash;
    while (end > 0 && path[end - 1] == u'/') --end;
    if (end == 0) return path.substr(0, 1);  // the root
    return path.substr(0, end);
}

std::u16string PathRemoveFileSpec(std::u16string_view path) { return std::u16string(PathFindDirectory(path)); }

std::u16string_view PathFindFileName(std::u16string_view path) {
    size_t end = path.size();
    while (end > 0 && path[end - 1] == u'/') --end;
    if (end == 0) return path;  // "" or only separators
    const size_t slash = path.rfind(u'/', end - 1);
    const size_t start = slash == std::u16string_view::npos ? 0 : slash + 1;
    return path.substr(start, end - start);
}

std::u16string_view PathFindExtension(std::u16string_view path) {
    const std::u16string_view name = PathFindFileName(path);
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0 || name == u".." || name == u"/") return path.substr(path.size());
    return name.substr(dot);
}

std::u16string PathRemoveExtension(std::u16string_view path) {
    const std::u16string_view ext = PathFindExtension(path);
    if (ext.empty()) return std::u16string(path);
    const size_t start = static_cast<size_t>(ext.data() - path.data());
    std::u16string out(path.substr(0, start));
    out += path.substr(start + ext.size());  // trailing separators, if any
    return out;
}

bool PathIsRelative(std::u16string_view path) { return path.empty() || path.front() != u'/'; }

bool PathIsSameRoot(std::u16string_view a, std::u16string_view b) {
    return !PathIsRelative(a) && !PathIsRelative(b);
}

bool PathFileExists(std::u16string_view path) {
    if (path.empty()) return false;
    os::FileAttributes attributes;
    return os::GetPathAttributes(path, attributes);
}

bool PathIsDirectory(std::u16string_view path) {
    if (path.empty()) return false;
    os::FileAttributes attributes;
    return os::GetPathAttributes(path, attributes) && attributes.kind == os::FileKind::Directory;
}

std::u16string MakeAbsolute(std::u16string_view path) {
    if (!PathIsRelative(path)) return NormalizePath(path);
    const std::u16string current = os::GetCurrentDirectoryPath();
    if (current.empty()) return NormalizePath(path);
    return PathCombine(current, path);
}

}  // namespace qm
