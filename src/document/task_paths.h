// The checks a new task's inputs pass before the task starts.
//
// The new-task dialog and the command-line front end both hand the task a
// list of files and directories. Before anything is cleared they check that
// the list is not empty and that every path still exists, and they compute
// the deepest directory that is, or contains, every input: the task's root,
// against which a saved list's relative paths are taken.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

inline constexpr std::u16string_view kNoTaskPathsText = u"请设置需要计算校验的目录或文件!";
// Followed by one line per missing path.
inline constexpr std::u16string_view kMissingPathsText = u"以下文件或目录已不存在，请检查后再重新尝试：";
inline constexpr std::u16string_view kNoCommonRootText = u"您所设置的所有文件没有公共的根目录,请重新选择路径!";

// One input of a task.
struct QmChosenPath {
    std::u16string path;
    bool isDirectory = false;

    bool operator==(const QmChosenPath&) const = default;
};

enum class QmTaskPathStatus {
    Ok,            // chosen and commonRoot are set
    NoPaths,       // the list is empty: kNoTaskPathsText
    MissingPaths,  // missing holds the indexes of the paths that do not exist
    NoCommonRoot,  // the paths share no root: kNoCommonRootText
};

struct QmTaskPathCheck {
    QmTaskPathStatus status = QmTaskPathStatus::NoPaths;
    std::vector<QmChosenPath> chosen;  // the inputs in list order (status Ok only)
    std::vector<size_t> missing;       // indexes into the checked list, ascending
    std::u16string commonRoot;         // status Ok only
};

// The OK checks of a new task, in order: an empty list; every path that does
// not exist (all of them are reported, not only the first); the common root.
// Existence follows symbolic links, so a link to a directory is a directory
// and a dangling link is missing.
QmTaskPathCheck CheckTaskPaths(std::span<const std::u16string> paths);

// The deepest directory that is, or contains, every input: the first input's
// directory (the input itself when it is one), shortened one component at a
// time until it is each further input or a directory above it. Components are
// compared whole and exactly ("/ab" is not above "/abc/x"; "/" is above every
// absolute path). Repeated and trailing separators are ignored. False when two
// inputs share no root (an absolute and a relative path, or two relative
// paths); `root` is then left empty.
bool ComputeCommonRoot(std::span<const QmChosenPath> chosen, std::u16string& root);

// kMissingPathsText, then the missing paths, each followed by `lineEnd`,
// with one empty line between the heading and the paths when `blankLine`
// is set (the dialog's message box has one; a terminal has none).
std::u16string FormatMissingPaths(std::span<const std::u16string> paths, std::span<const size_t> missing,
                                  std::u16string_view lineEnd, bool blankLine);

}  // namespace qm
