// The window's tables: prompts and tooltips split at the line break, menu
// texts at the tab, and every command the toolbar and keys reach.
#include "desktop/frame_resources.h"

#include <gtest/gtest.h>

#include <set>

#include "desktop/command_ids.h"

namespace qm {
namespace {

TEST(FrameResourcesTest, PromptIsBeforeTheLineBreakTooltipAfterIt) {
    EXPECT_EQ(GetCommandPrompt(ID_TASK_VERIFY_ALL), u"验证所有文件校验信息");
    EXPECT_EQ(GetCommandTooltip(ID_TASK_VERIFY_ALL), u"检查所有文件");
    // The save string holds a tab: all of it is the prompt, no tooltip.
    EXPECT_EQ(GetCommandPrompt(ID_FILE_SAVE), u"保存哈希文件\t保存哈希文件");
    EXPECT_EQ(GetCommandTooltip(ID_FILE_SAVE), u"");
    // Commands without a string have neither.
    EXPECT_EQ(GetCommandPrompt(ID_FILE_SAVE_AS), u"");
    EXPECT_EQ(GetCommandTooltip(ID_VIEW_TOOLBAR), u"");
}

TEST(FrameResourcesTest, MenuTextSplitsAtTheTab) {
    const QmMenuText withKey = SplitMenuText(u"打开(&O)...\tCtrl+O");
    EXPECT_EQ(withKey.label, u"打开(&O)...");
    EXPECT_EQ(withKey.shortcut, u"Ctrl+O");
    const QmMenuText plain = SplitMenuText(u"另存为(&A)...");
    EXPECT_EQ(plain.label, u"另存为(&A)...");
    EXPECT_TRUE(plain.shortcut.empty());
}

TEST(FrameResourcesTest, ToolbarImagesCountButtonsOnlyInOrder) {
    int expected = 0;
    for (const QmToolbarEntry& entry : GetToolbar()) {
        if (entry.id == 0) continue;
        EXPECT_EQ(entry.imageIndex, expected++) << entry.id;
        EXPECT_EQ(entry.hidden, entry.id == ID_TASK_RELOCATE);
    }
    EXPECT_EQ(expected, kToolbarImageCount);
    EXPECT_EQ(GetToolbar().front().id, 0u) << "the toolbar starts with its separator";
}

TEST(FrameResourcesTest, EveryMenuShortcutHasItsAccelerator) {
    std::set<uint32_t> keyed;
    for (const QmAccelerator& accelerator : GetAccelerators()) keyed.insert(accelerator.id);
    for (const QmMenuPopup& popup : GetMainMenu()) {
        for (const QmMenuItem& item : popup.items) {
            if (!SplitMenuText(item.text).shortcut.empty()) {
                EXPECT_TRUE(keyed.count(item.id)) << item.id;
            }
        }
    }
    // The keys nobody handles are still taken, so they do nothing.
    for (uint32_t id : {ID_EDIT_COPY, ID_EDIT_CUT, ID_NEXT_PANE, ID_PREV_PANE}) EXPECT_TRUE(keyed.count(id)) << id;
}

}  // namespace
}  // namespace qm
