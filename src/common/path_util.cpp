#include "common/path_util.h"

#include <vector>

#include "common/os/file.h"
#include "common/os/path_rules.h"

namespace qm {

namespace {

bool IsDriveRelativeRoot(std::u16string_view root) { return root.size() == 2 && root[1] == u':'; }

// The root as the system writes it: separators in their preferred form.
std::u16string PreferredRoot(std::u16string_view root) {
    std::u16string out(root);
    for (char16_t& c : out) {
        if (os::IsPathSeparator(c)) c = os::kPathSeparator;
    }
    return out;
}

// The position of the last separator at or after `from`, or npos.
size_t LastSeparator(std::u16string_view path, size_t from, size_t end) {
    for (size_t i = end; i > from; --i) {
        if (os::IsPathSeparator(path[i - 1])) return i - 1;
    }
    return std::u16string_view::npos;
}

}  // namespace

std::u16string NormalizePath(std::u16string_view path) {
    if (path.empty()) return {};
    const size_t rootLength = os::PathRootLength(path);
    const std::u16string_view root = path.substr(0, rootLength);
    // ".." climbs no higher than a root; a relative path (or one relative to
    // a drive's current directory) keeps the ".." it cannot resolve.
    const bool clampAtRoot = rootLength > 0 && !IsDriveRelativeRoot(root);
    std::vector<std::u16string_view> parts;
    size_t unresolvedParents = 0;  // leading ".." of a relative path
    size_t pos = rootLength;
    while (pos < path.size()) {
        size_t end = pos;
        while (end < path.size() && !os::IsPathSeparator(path[end])) ++end;
        const std::u16string_view part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (parts.size() > unresolvedParents) {
                parts.pop_back();
            } else if (!clampAtRoot) {
                parts.push_back(part);
                ++unresolvedParents;
            }
            continue;
        }
        parts.push_back(part);
    }

    std::u16string out = PreferredRoot(root);
    out.reserve(path.size());
    // A share's root may come without its final separator ("\\srv\share").
    if (!parts.empty() && !out.empty() && !os::IsPathSeparator(out.back()) && !IsDriveRelativeRoot(root))
        out += os::kPathSeparator;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += os::kPathSeparator;
        out += parts[i];
    }
    if (out.empty()) out.push_back(u'.');
    return out;
}

std::u16string PathCombine(std::u16string_view dir, std::u16string_view more) {
    const size_t moreRoot = os::PathRootLength(more);
    if (moreRoot > 0) {
        // A path rooted at "the current drive" ("\x") takes the drive of `dir`.
        const size_t dirRoot = os::PathRootLength(dir);
        if (moreRoot == 1 && dirRoot > 1) {
            std::u16string joined(dir.substr(0, dirRoot));
            joined += more;
            return NormalizePath(joined);
        }
        return NormalizePath(more);
    }
    if (dir.empty()) return NormalizePath(more);
    if (more.empty()) return NormalizePath(dir);
    std::u16string joined(dir);
    joined += os::kPathSeparator;
    joined += more;
    return NormalizePath(joined);
}

void PathAppend(std::u16string& path, std::u16string_view more) {
    while (!more.empty() && os::IsPathSeparator(more.front())) more.remove_prefix(1);
    path = PathCombine(path, more);
}

std::u16string_view PathFindDirectory(std::u16string_view path) {
    const size_t rootLength = os::PathRootLength(path);
    const size_t slash = LastSeparator(path, rootLength, path.size());
    if (slash == std::u16string_view::npos) return path.substr(0, rootLength);
    size_t end = slash;
    while (end > rootLength && os::IsPathSeparator(path[end - 1])) --end;
    if (end <= rootLength) return path.substr(0, rootLength);  // the root
    return path.substr(0, end);
}

std::u16string PathRemoveFileSpec(std::u16string_view path) { return std::u16string(PathFindDirectory(path)); }

std::u16string_view PathFindFileName(std::u16string_view path) {
    const size_t rootLength = os::PathRootLength(path);
    size_t end = path.size();
    while (end > 0 && os::IsPathSeparator(path[end - 1])) --end;
    if (end == 0 || end < rootLength || (end == rootLength && rootLength > 0)) return path;  // a root is its own name
    const size_t slash = LastSeparator(path, rootLength, end);
    const size_t start = slash == std::u16string_view::npos ? rootLength : slash + 1;
    return path.substr(start, end - start);
}

std::u16string_view PathFindExtension(std::u16string_view path) {
    const std::u16string_view name = PathFindFileName(path);
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0 || name == u".." || os::IsPathSeparator(name.back()))
        return path.substr(path.size());
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

bool PathIsRelative(std::u16string_view path) { return !os::PathIsAbsolute(path); }

bool PathIsSameRoot(std::u16string_view a, std::u16string_view b) {
    if (PathIsRelative(a) || PathIsRelative(b)) return false;
    return os::PathTextEqual(a.substr(0, os::PathRootLength(a)), b.substr(0, os::PathRootLength(b)));
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
