// The checks of a new task's inputs (see task_paths.h).
#include "document/task_paths.h"

#include "common/os/file.h"
#include "common/os/path_rules.h"
#include "common/path_util.h"

namespace qm {

namespace {

// Collapses runs of separators and drops a trailing one (except of a root),
// so "/data//x/" and "/data/x" compare as the same directory.
std::u16string CleanSeparators(std::u16string_view path) {
    const size_t rootLength = os::PathRootLength(path);
    std::u16string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (i >= rootLength && os::IsPathSeparator(c) && !out.empty() && os::IsPathSeparator(out.back())) continue;
        out.push_back(c);
    }
    if (out.size() > rootLength && out.size() > 1 && os::IsPathSeparator(out.back())) out.pop_back();
    return out;
}

bool IsAbsolute(std::u16string_view path) { return os::PathIsAbsolute(path); }

// The directory part of a cleaned path: "/a/b" -> "/a", "/a" -> "/", "a" -> "".
std::u16string ParentOf(std::u16string_view path) { return PathRemoveFileSpec(path); }

// True when the cleaned directory `dir` is `path` itself or a directory above
// it, by whole components.
bool IsSameOrAbove(std::u16string_view dir, std::u16string_view path) {
    if (os::PathTextEqual(dir, path)) return true;
    if (dir.empty()) return false;
    if (!os::IsPathSeparator(dir.back()))
        return path.size() > dir.size() && os::PathTextEqual(path.substr(0, dir.size()), dir) &&
               os::IsPathSeparator(path[dir.size()]);
    // A root with its separator ("/", "C:").
    return path.size() > dir.size() && os::PathTextEqual(path.substr(0, dir.size()), dir);
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
        while (!IsSameOrAbove(candidate, path)) {
            std::u16string parent = ParentOf(candidate);
            // Paths on two drives or shares have no directory in common.
            if (parent.size() >= candidate.size()) return false;
            candidate = std::move(parent);
        }
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
