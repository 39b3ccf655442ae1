// Message boxes, file dialogs and the wait cursor over the installed prompts.
#include "common/user_prompts.h"

#include <atomic>

#include "common/app_info.h"
#include "common/error_record.h"
#include "common/path_util.h"

namespace qm {

namespace {

std::atomic<CQmUserPrompts*> g_prompts{nullptr};

constexpr std::u16string_view kDefaultFilterDescription = u"所有文件(*.*)";
constexpr std::u16string_view kDefaultFilterPattern = u"*.*";

int AnswerWithoutPrompts(uint32_t flags) { return (flags & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL; }

}  // namespace

void SetUserPrompts(CQmUserPrompts* prompts) { g_prompts.store(prompts, std::memory_order_release); }

CQmUserPrompts* GetUserPrompts() { return g_prompts.load(std::memory_order_acquire); }

void ShowLastError(QmWindow owner, const char16_t* caption) {
    std::u16string text = GetLastErrorText();
    if (text.empty()) return;
    CQmUserPrompts* prompts = GetUserPrompts();
    if (!prompts) return;
    QmMessageBoxRequest request;
    request.owner = owner;
    request.caption = caption ? std::u16string(caption) : std::u16string(kDefaultErrorCaption);
    request.text = std::move(text);
    request.flags = MB_ICONERROR;
    prompts->MessageBox(request);
}

int ShowMessage(QmWindow owner, uint32_t flags, std::u16string_view text) {
    CQmUserPrompts* prompts = GetUserPrompts();
    if (!prompts) return AnswerWithoutPrompts(flags);
    QmMessageBoxRequest request;
    request.owner = owner;
    request.caption = GetAppInfo().GetDisplayName();
    request.text.assign(text);
    request.flags = flags;
    return prompts->MessageBox(request);
}

std::vector<QmFileFilter> ParseFilterPairs(std::u16string_view filter) {
    std::vector<QmFileFilter> filters;
    size_t pos = 0;
    while (pos < filter.size()) {
        const size_t descriptionEnd = filter.find(u'\0', pos);
        if (descriptionEnd == std::u16string_view::npos || descriptionEnd == pos) break;
        const size_t patternStart = descriptionEnd + 1;
        size_t patternEnd = filter.find(u'\0', patternStart);
        if (patternEnd == std::u16string_view::npos) patternEnd = filter.size();
        // A description without a pattern ends the list, as it does for the
        // platform dialog that reads the same form.
        if (patternEnd == patternStart) break;
        filters.push_back({std::u16string(filter.substr(pos, descriptionEnd - pos)),
                           std::u16string(filter.substr(patternStart, patternEnd - patternStart))});
        pos = patternEnd + 1;
    }
    return filters;
}

QmFileDialogRequest MakeFileDialogRequest(QmWindow owner, QmFileDialogMode mode, const char16_t* title,
                                          std::u16string_view filter, int filterIndex, bool flag,
                                          std::u16string_view proposedName) {
    QmFileDialogRequest request;
    request.owner = owner;
    request.mode = mode;
    if (title) {
        request.title = title;
    } else {
        request.title = mode == QmFileDialogMode::Open ? u"打开文件" : u"保存文件";
    }
    request.filters = ParseFilterPairs(filter);
    if (request.filters.empty()) {
        request.filters.push_back({std::u16string(kDefaultFilterDescription), std::u16string(kDefaultFilterPattern)});
    }
    // Only a filter of exactly two entries names the one extension a typed
    // name should get ("*.txt" gives "txt"); with more there is no single
    // choice.
    if (request.filters.size() == 2 && request.filters[0].pattern.size() > 2) {
        request.defaultExtension = request.filters[0].pattern.substr(2);
    }
    request.filterIndex = filterIndex >= 1 && static_cast<size_t>(filterIndex) <= request.filters.size()
                              ? filterIndex
                              : 1;
    if (mode == QmFileDialogMode::Open) {
        request.multiSelect = flag;
    } else {
        request.overwritePrompt = !flag;
        request.initialPath.assign(proposedName);
    }
    return request;
}

bool ShowFileDialog(QmWindow owner, QmFileDialogMode mode, const char16_t* title, std::u16string_view filter,
                    int* filterIndex, bool flag, std::u16string& buffer) {
    if (mode == QmFileDialogMode::Open) buffer.clear();
    const QmFileDialogRequest request =
        MakeFileDialogRequest(owner, mode, title, filter, filterIndex ? *filterIndex : 0, flag, buffer);
    CQmUserPrompts* prompts = GetUserPrompts();
    if (!prompts) return false;
    QmFileDialogResult result;
    if (!prompts->FileDialog(request, result) || result.paths.empty()) return false;

    if (mode == QmFileDialogMode::Open && request.multiSelect) {
        // The directory, then each name: the same layout for one file as for
        // several. A name from another directory (no dialog gives one, but a
        // prompt may) keeps its whole path, which joins to itself.
        const std::u16string dir = PathRemoveFileSpec(result.paths.front());
        buffer = dir;
        buffer.push_back(u'\0');
        for (const std::u16string& path : result.paths) {
            if (PathRemoveFileSpec(path) == dir) {
                buffer.append(PathFindFileName(path));
            } else {
                buffer.append(path);
            }
            buffer.push_back(u'\0');
        }
    } else {
        buffer = result.paths.front();
    }
    if (filterIndex) *filterIndex = result.filterIndex;
    return true;
}

std::vector<std::u16string> SplitMultiSelection(std::u16string_view buffer) {
    std::vector<std::u16string> paths;
    const size_t dirEnd = buffer.find(u'\0');
    if (dirEnd == std::u16string_view::npos) {
        if (!buffer.empty()) paths.emplace_back(buffer);
        return paths;
    }
    const std::u16string_view dir = buffer.substr(0, dirEnd);
    size_t pos = dirEnd + 1;
    while (pos < buffer.size()) {
        size_t end = buffer.find(u'\0', pos);
        if (end == std::u16string_view::npos) end = buffer.size();
        if (end == pos) break;
        paths.push_back(PathCombine(dir, buffer.substr(pos, end - pos)));
        pos = end + 1;
    }
    return paths;
}

bool BrowseForFolder(QmWindow owner, std::u16string_view title, std::u16string& path) {
    CQmUserPrompts* prompts = GetUserPrompts();
    if (!prompts) return false;
    std::u16string chosen;
    if (!prompts->FolderDialog(owner, title, chosen) || chosen.empty()) return false;
    path = std::move(chosen);
    return true;
}

QmWaitCursor::QmWaitCursor() {
    if (CQmUserPrompts* prompts = GetUserPrompts()) prompts->SetWaitCursor(true);
}

QmWaitCursor::~QmWaitCursor() {
    if (CQmUserPrompts* prompts = GetUserPrompts()) prompts->SetWaitCursor(false);
}

}  // namespace qm
