// The checks of a new task's inputs (see task_paths.h).
#include "document/task_paths.h"

#include "common/os/file.h"

namespace qm {

namespace {

// Collapses runs of '/' and drops a trailing '/' (except of "/" itself), so
// "/data//x/" and "/data/x" compare as the same directory.
std::u16string CleanSeparators(std::u16string_view path) {
    std::u16string out;
    out.reserve(path.size());
    for (char16_t c : path) {
        if (c == u'/' && !out.empty() && out.back() == u'/') continue;
        out.push_back(c);
    }
    if (out.size() > 1 && out.back() == u'/') out.pop_back();
    return out;
}

bool IsAbsolute(std::u16string_view path) { return !path.empty() && path.front() == u'/'; }

// The directory part of a cleaned path: "/a/b" -> "/a", "/a" -> "/", "a" -> "".
std::u16string ParentOf(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos) return {};
    if (slash == 0) return u"/";
    return std::u16string(path.substr(0, slash));
}

// True when the cleaned directory `dir` is `path` itself or a directory above
// it, by whole components.
bool IsSameOrAbove(std::u16string_view dir, std::u16string_view path) {
    if (dir == path) return true;
    if (dir == u"/") return IsAbsolute(path);
    if (dir.empty()) return false;
    return path.size() > dir.size() && path.substr(0, dir.size()) == dir && path[dir.size()] == u'/';
}

}  // namespace

bool ComputeCommonRoot(std::span<const QmChosenPath> chosen, std::u16string& root) {
    root.clear();
    if (chosen.empty()) return false;
    std::u16string candidate = CleanSeparators(chosen.front().path);
    if (!chosen.front().isDirectory) candidate = ParentOf(candidate);
    for (size_t i = 1; i < chosen.size(); ++i) {
        const std::u16string path = CleanSeparators(chosen[i].path);
        // Two paths share a root only when both are absolute.
        if (!IsAbsolute(candidate) || !IsAbsolute(path)) return false;
        while (!IsSameOrAbove(candidate, path)) candidate = ParentOf(candidate);
    }
    root = std::move(candidate);
    return true;
}

QmTaskPathCheck CheckTaskPaths(std::span<const std::u16string> paths) {
    QmTaskPathCheck result;
    if (paths.empty()) {
        result.status = QmTaskPathStatus::NoPaths;
        return result;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        os::FileAttributes attributes;
        if (paths[i].empty() || !os::GetPathAttributes(paths[i], attributes)) {
            result.missing.push_back(i);
        } else if (result.missing.empty()) {
            result.chosen.push_back({paths[i], attributes.kind == os::FileKind::Directory});
        }
    }
    if (!result.missing.empty()) {
        result.chosen.clear();
        result.status = QmTaskPathStatus::MissingPaths;
        return result;
    }
    if (!ComputeCommonRoot(result.chosen, result.commonRoot)) {
        result.chosen.clear();
        result.status = QmTaskPathStatus::NoCommonRoot;
        return result;
    }
    result.status = QmTaskPathStatus::Ok;
    return result;
}

std::u16string FormatMissingPaths(std::span<const std::u16string> paths, std::span<const size_t> missing,
                                  std::u16string_view lineEnd, bool blankLine) {
    std::u16string text(kMissingPathsText);
    text.append(lineEnd);
    if (blankLine) text.append(lineEnd);
    for (size_t index : missing) {
        if (index >= paths.size()) continue;
        text.append(paths[index]);
        text.append(lineEnd);
    }
    return text;
}

}  // namespace qm
