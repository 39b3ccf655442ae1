// The main window's tables (see frame_resources.h).
#include "desktop/frame_resources.h"

#include <algorithm>
#include <array>

#include "desktop/command_ids.h"
#include "document/task_texts.h"
#include "document/verify_summary.h"
#include "version.h"

namespace qm {

namespace {

// The popups of the bar carry mnemonics of their own, and items have theirs
// where their texts give one; the rest are reached with the arrow keys.
constexpr QmMenuItem kFileItems[] = {
    {u"新建(&N)\tCtrl+N", ID_FILE_NEW},
    {u"打开(&O)...\tCtrl+O", ID_FILE_OPEN},
    {u"保存(&S)\tCtrl+S", ID_FILE_SAVE},
    {u"另存为(&A)...", ID_FILE_SAVE_AS},
    {{}, 0},
    {u"退出(&X)", ID_APP_EXIT},
};

constexpr QmMenuItem kEditItems[] = {
    {u"查找(&F)\tCtrl+F", ID_EDIT_FIND},
    {u"查找下一个\tF3", ID_EDIT_REPEAT},
    {{}, 0},
    {u"全选(&A)\tCtrl+A", ID_EDIT_SELECT_ALL},
    {u"检查所有文件", ID_TASK_VERIFY_ALL},
    {u"下一个问题\tF8", ID_EDIT_NEXT_PROBLEM},
};

constexpr QmMenuItem kViewItems[] = {
    {u"工具栏(&T)", ID_VIEW_TOOLBAR},
    {u"状态栏(&S)", ID_VIEW_STATUS_BAR},
    {{}, 0},
    {u"折叠所有目录", ID_VIEW_COLLAPSE_ALL},
    {u"展开所有目录", ID_VIEW_EXPAND_ALL},
    {{}, 0},
    {u"始终在前", ID_VIEW_TOPMOST},
};

constexpr QmMenuItem kHelpItems[] = {
    {u"关于(&A)", ID_APP_ABOUT},
};

constexpr QmMenuPopup kMainMenu[] = {
    {u"文件(&F)", kFileItems},
    {u"编辑(&E)", kEditItems},
    {u"查看(&V)", kViewItems},
    {u"帮助(&H)", kHelpItems},
};

constexpr QmItemMenuEntry kItemMenu[] = {
    {u"打开文件(&O)", ID_ITEM_OPEN},
    {u"浏览文件(&E)", ID_ITEM_BROWSE},
    {u"文件属性(&R)", ID_ITEM_PROPERTIES},
    {u"文件名", ID_COPY_NAME, true},
    {u"文件路径", ID_COPY_PATH, true},
    {u"哈希值(文本)", ID_COPY_HASH_TEXT, true},
    {u"哈希值(C代码)", ID_COPY_HASH_CODE, true},
    {u"文件链接", ID_COPY_LINK, true},
    {{}, 0},
    {u"校验文件", ID_ITEM_VERIFY},
    {{}, 0},
    {u"删除文件项(&D)", ID_ITEM_REMOVE},
};

constexpr char16_t kRightsNotice[] = u"Copyright © 2026 Zantoria";

constexpr QmToolbarEntry kToolbar[] = {
    {0, 4, -1, false},
    {ID_FILE_NEW, 0, 0, false},
    {ID_FILE_OPEN, 0, 1, false},
    {ID_FILE_SAVE, 0, 2, false},
    {0, 8, -1, false},
    {ID_TASK_RELOCATE, 0, 3, true},
    {ID_TASK_VERIFY_ALL, 0, 4, false},
    {ID_TASK_STOP, 0, 5, false},
    {ID_EDIT_FIND, 0, 6, false},
    {ID_APP_ABOUT, 0, 7, false},
};

constexpr QmAccelerator kAccelerators[] = {
    {kAccelCtrl, 'C', ID_EDIT_COPY},
    {kAccelCtrl, kVkInsert, ID_EDIT_COPY},
    {kAccelShift, kVkDelete, ID_EDIT_CUT},
    {kAccelCtrl, 'X', ID_EDIT_CUT},
    {kAccelCtrl, 'F', ID_EDIT_FIND},
    {0, kVkF3, ID_EDIT_REPEAT},
    {kAccelCtrl, 'N', ID_FILE_NEW},
    {kAccelCtrl, 'O', ID_FILE_OPEN},
    {kAccelCtrl, 'S', ID_FILE_SAVE},
    {0, kVkF6, ID_NEXT_PANE},
    {kAccelShift, kVkF6, ID_PREV_PANE},
    {kAccelCtrl, 'A', ID_EDIT_SELECT_ALL},
    {0, kVkF8, ID_EDIT_NEXT_PROBLEM},
};

struct CommandString {
    uint32_t id;
    std::u16string_view text;
};

// The save entry holds a tab where the others hold a line break, so its
// whole text is the prompt and its button has no tooltip.
constexpr CommandString kCommandStrings[] = {
    {ID_TASK_STOP, u"停止计算任务\n停止计算任务"},
    {ID_TASK_RELOCATE, u"重定位文件目录\n重定位文件目录"},
    {ID_TASK_VERIFY_ALL, u"验证所有文件校验信息\n检查所有文件"},
    {ID_EDIT_NEXT_PROBLEM, u"选中下一个不一致或失败的文件"},
    {ID_FILE_NEW, u"新建文件哈希\n新建文件哈希"},
    {ID_FILE_OPEN, u"打开原有哈希文件\n打开原有哈希文件"},
    {ID_FILE_SAVE, u"保存哈希文件\t保存哈希文件"},
    {ID_EDIT_FIND, u"查找\n查找"},
    {ID_APP_ABOUT, u"关于\n关于"},
};

constexpr uint32_t kCommandStateRows[] = {
    ID_VIEW_TOOLBAR,    ID_VIEW_STATUS_BAR, ID_VIEW_TOPMOST,  ID_FILE_SAVE,         ID_FILE_SAVE_AS,
    ID_TASK_VERIFY_ALL, ID_ITEM_VERIFY,     ID_TASK_STOP,     ID_EDIT_FIND,         ID_TASK_RELOCATE,
    ID_VIEW_COLLAPSE_ALL, ID_VIEW_EXPAND_ALL,
};

constexpr size_t kMaxTooltipChars = 79;

}  // namespace

std::span<const QmMenuPopup> GetMainMenu() { return kMainMenu; }

QmMenuText SplitMenuText(std::u16string_view text) {
    const size_t tab = text.find(u'\t');
    if (tab == std::u16string_view::npos) return {text, {}};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

std::span<const QmToolbarEntry> GetToolbar() { return kToolbar; }

std::span<const QmAccelerator> GetAccelerators() { return kAccelerators; }

std::optional<std::u16string_view> GetCommandString(uint32_t id) {
    const auto* found = std::find_if(std::begin(kCommandStrings), std::end(kCommandStrings),
                                     [id](const CommandString& entry) { return entry.id == id; });
    if (found == std::end(kCommandStrings)) return std::nullopt;
    return found->text;
}

std::u16string_view GetCommandPrompt(uint32_t id) {
    const std::optional<std::u16string_view> text = GetCommandString(id);
    if (!text) return {};
    return text->substr(0, text->find(u'\n'));
}

std::u16string_view GetCommandTooltip(uint32_t id) {
    const std::optional<std::u16string_view> text = GetCommandString(id);
    if (!text) return {};
    const size_t lineBreak = text->find(u'\n');
    if (lineBreak == std::u16string_view::npos) return {};
    return text->substr(lineBreak + 1, kMaxTooltipChars);
}

std::span<const uint32_t> GetCommandStateRows() { return kCommandStateRows; }

std::span<const QmItemMenuEntry> GetItemMenu() { return kItemMenu; }

std::u16string GetLongestProgressText() {
    constexpr uint64_t kLongTaskMs = (23 * 3600 + 59 * 60 + 59) * 1000ull;
    const std::u16string hashing = FormatProgressText(true, kLongTaskMs, 999ull << 20);
    constexpr uint64_t kLongCheckMs = (59 * 60 + 59) * 1000ull;
    const std::u16string verified = FormatCompletionSummary(kLongCheckMs, 999ull << 20) + u"，" +
                                    FormatVerifyCounts({99'999, 999, 999});
    return hashing.size() > verified.size() ? hashing : verified;
}

std::u16string GetLongestTotalsText() { return FormatTotalsText(999'999, 999ull << 40); }

std::u16string GetAboutText() {
    return std::u16string(QM_PRODUCT_NAME_U16) + u" V" + QM_VERSION_TEXT_U16 + u"\n\n" + kRightsNotice;
}

}  // namespace qm
