// The new-task dialog's decisions, whichever window shows it.
//
// The dialog lists the files and directories of a new task, offers the
// catalogue's algorithms and the "枚举子目录" choice, and on OK checks the list
// (empty, missing paths, no common root) before it hands the task over.
// CQmNewTaskDialogLogic holds the listed paths with their selection and
// makes every choice; the window mirrors the list, forwards the buttons,
// drops and the Delete key, and ends itself when OnOk says so. Boxes and the
// file and folder dialogs go through the process-wide user prompts, owned by
// the window given.
//
// User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_prompts.h"
#include "document/task_paths.h"

namespace qm {

inline constexpr std::u16string_view kNewTaskTitle = u"新建校验任务";
inline constexpr std::u16string_view kAddFilesTitle = u"添加文件";
inline constexpr std::u16string_view kAddDirectoryTitle = u"请选择需要计算文件检验的目录:";
// The class id preselected when the document's algorithm is not offered.
inline constexpr int32_t kFallbackAlgorithmId = 5;

class CQmNewTaskDialogLogic {
public:
    // `initialPaths` are listed, unselected, in their order.
    explicit CQmNewTaskDialogLogic(std::span<const std::u16string> initialPaths);

    // --- The listed paths.
    size_t GetPathCount() const { return paths_.size(); }
    const std::u16string& GetPath(size_t index) const { return paths_[index].path; }
    bool IsPathSelected(size_t index) const { return paths_[index].selected; }
    // The row of `path`: an existing row naming the same path (compared as
    // the system compares paths), else a new last row; selected as well with
    // `select`.
    size_t AddPath(std::u16string_view path, bool select);
    // Clears the selection, then adds each of `paths`, selected: afterwards
    // exactly the rows just added or found again are selected. Nothing
    // happens for an empty list.
    void AddChosenPaths(std::span<const std::u16string> paths);
    void SetPathSelected(size_t index, bool selected);
    void ClearSelection();
    // The Delete key: every selected row goes, without asking.
    void RemoveSelected();

    // --- The buttons. True when the list changed.
    bool AddFiles(QmWindow owner);
    bool AddDirectory(QmWindow owner);

    // --- The algorithm and the option, as the dialog starts.
    // The catalogue's display names in catalogue order (the combo box).
    static std::vector<std::u16string> GetAlgorithmNames();
    // The entry to preselect: the document's algorithm, or SHA1 when the
    // catalogue lacks it (recording "获取类型对应索引号失败:不支持的类ID."), or
    // -1 when it lacks that too.
    static int GetInitialAlgorithmIndex();
    // "枚举子目录" as the document's last task had it.
    static bool GetInitialRecurse();

    // --- OK. `algorithmText` is the combo box's text. True: the dialog ends
    // with OK and the outputs hold. False: it stays open, after a box; the
    // rows of missing paths are selected then.
    bool OnOk(QmWindow owner, std::u16string_view algorithmText, bool recurse);

    int32_t GetAlgorithmId() const { return algorithmId_; }
    bool GetRecurseSubdirectories() const { return recurse_; }
    const std::vector<QmChosenPath>& GetChosenPaths() const { return chosenPaths_; }
    const std::u16string& GetCommonRoot() const { return commonRoot_; }

private:
    struct Row {
        std::u16string path;
        bool selected = false;
    };
    std::vector<Row> paths_;
    int32_t algorithmId_ = 0;
    bool recurse_ = false;
    std::vector<QmChosenPath> chosenPaths_;
    std::u16string commonRoot_;
};

}  // namespace qm
