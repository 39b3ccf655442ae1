// The new-task dialog's decisions (see new_task_dialog.h).
#include "desktop/new_task_dialog.h"

#include <algorithm>
#include <iterator>

#include "common/os/path_rules.h"
#include "document/quorvia_doc.h"
#include "engines/hash_catalog.h"

namespace qm {

namespace {

// Filter pairs, NUL-separated, with the closing empty entry; the second one
// is preselected.
constexpr char16_t kAddFilesFilterChars[] = u"光盘镜像文件(*.iso)\0*.iso\0所有文件(*.*)\0*.*\0";
constexpr std::u16string_view kAddFilesFilter{kAddFilesFilterChars, std::size(kAddFilesFilterChars)};
constexpr int kAddFilesFilterIndex = 2;

}  // namespace

CQmNewTaskDialogLogic::CQmNewTaskDialogLogic(std::span<const std::u16string> initialPaths) {
    for (const std::u16string& path : initialPaths) AddPath(path, false);
}

size_t CQmNewTaskDialogLogic::AddPath(std::u16string_view path, bool select) {
    auto found = std::find_if(paths_.begin(), paths_.end(),
                              [path](const Row& row) { return os::PathTextEqual(row.path, path); });
    if (found == paths_.end()) found = paths_.insert(paths_.end(), Row{std::u16string(path), false});
    if (select) found->selected = true;
    return static_cast<size_t>(found - paths_.begin());
}

void CQmNewTaskDialogLogic::AddChosenPaths(std::span<const std::u16string> paths) {
    if (paths.empty()) return;
    ClearSelection();
    for (const std::u16string& path : paths) AddPath(path, true);
}

void CQmNewTaskDialogLogic::SetPathSelected(size_t index, bool selected) {
    if (index < paths_.size()) paths_[index].selected = selected;
}

void CQmNewTaskDialogLogic::ClearSelection() {
    for (Row& row : paths_) row.selected = false;
}

void CQmNewTaskDialogLogic::RemoveSelected() {
    std::erase_if(paths_, [](const Row& row) { return row.selected; });
}

bool CQmNewTaskDialogLogic::AddFiles(QmWindow owner) {
    std::u16string buffer;
    int filterIndex = kAddFilesFilterIndex;
    if (!ShowFileDialog(owner, QmFileDialogMode::Open, kAddFilesTitle.data(), kAddFilesFilter, &filterIndex, true,
                        buffer)) {
        return false;
    }
    AddChosenPaths(SplitMultiSelection(buffer));
    return true;
}

bool CQmNewTaskDialogLogic::AddDirectory(QmWindow owner) {
    std::u16string path;
    if (!BrowseForFolder(owner, kAddDirectoryTitle, path)) return false;
    AddChosenPaths(std::span<const std::u16string>(&path, 1));
    return true;
}

std::vector<std::u16string> CQmNewTaskDialogLogic::GetAlgorithmNames() {
    const CQmHashCatalog& catalog = GetHashCatalog();
    std::vector<std::u16string> names;
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const HashClassEntry* entry = catalog.GetAt(i);
        names.emplace_back(entry ? entry->name : u"");
    }
    return names;
}

int CQmNewTaskDialogLogic::GetInitialAlgorithmIndex() {
    // IndexOf records the failure text for an id it does not know, so an
    // unknown algorithm and a missing SHA1 each leave their own record.
    const CQmHashCatalog& catalog = GetHashCatalog();
    const int index = catalog.IndexOf(GetQuorviaDoc().GetAlgorithm());
    return index >= 0 ? index : catalog.IndexOf(kFallbackAlgorithmId);
}

bool CQmNewTaskDialogLogic::GetInitialRecurse() { return GetQuorviaDoc().GetIncludeSubdirs(); }

bool CQmNewTaskDialogLogic::OnOk(QmWindow owner, std::u16string_view algorithmText, bool recurse) {
    algorithmId_ = GetHashCatalog().FindByName(algorithmText);
    recurse_ = recurse;
    chosenPaths_.clear();
    commonRoot_.clear();
    ClearSelection();
    std::vector<std::u16string> listed;
    listed.reserve(paths_.size());
    for (const Row& row : paths_) listed.push_back(row.path);
    QmTaskPathCheck check = CheckTaskPaths(listed);
    switch (check.status) {
    case QmTaskPathStatus::NoPaths:
        ShowMessage(owner, MB_ICONERROR, kNoTaskPathsText);
        return false;
    case QmTaskPathStatus::MissingPaths:
        for (size_t index : check.missing) SetPathSelected(index, true);
        ShowMessage(owner, MB_ICONERROR, FormatMissingPaths(listed, check.missing, u"\r\n", true));
        return false;
    case QmTaskPathStatus::NoCommonRoot:
        ShowMessage(owner, MB_ICONINFORMATION, kNoCommonRootText);
        return false;
    case QmTaskPathStatus::Ok:
        break;
    }
    chosenPaths_ = std::move(check.chosen);
    commonRoot_ = std::move(check.commonRoot);
    return true;
}

}  // namespace qm
