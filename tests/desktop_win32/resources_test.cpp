// The Windows program's resources say what the desktop logic's tables say,
// so the two windows can never drift apart: menu 128, the accelerators, the
// command strings, the toolbar layout, the context menu 203; and the
// dialogs, icon, bitmap and sound are there.
#include "desktop_win32/win32_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/command_ids.h"
#include "desktop/frame_resources.h"
#include "desktop_win32/resource.h"
#include "desktop_win32/win32_handles.h"
#include "desktop_win32/window.h"

namespace qm {
namespace {

using win32::FromWide;

const HINSTANCE kModule = GetModuleHandleW(nullptr);

std::u16string MenuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return FromWide(text);
}

TEST(ResourcesTest, TheMainMenuIsTheTable) {
    const win32::UniqueMenu menu(LoadMenuW(kModule, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    ASSERT_TRUE(menu);
    const std::span<const QmMenuPopup> popups = GetMainMenu();
    ASSERT_EQ(GetMenuItemCount(menu.Get()), static_cast<int>(popups.size()));
    for (UINT p = 0; p < popups.size(); ++p) {
        EXPECT_EQ(MenuText(menu.Get(), p), popups[p].text);
        const HMENU popup = GetSubMenu(menu.Get(), static_cast<int>(p));
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(popups[p].items.size())) << p;
        for (UINT i = 0; i < popups[p].items.size(); ++i) {
            const QmMenuItem& item = popups[p].items[i];
            if (item.id == 0) {
                EXPECT_TRUE(GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR);
                continue;
            }
            EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(i)), item.id);
            EXPECT_EQ(MenuText(popup, i), item.text);
            EXPECT_EQ(GetMenuState(popup, i, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED), 0u) << "none in the resource";
        }
    }
}

TEST(ResourcesTest, TheAcceleratorsAndStringsAreTheTables) {
    const HACCEL table = LoadAcceleratorsW(kModule, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(table);
    std::vector<ACCEL> entries(static_cast<size_t>(CopyAcceleratorTableW(table, nullptr, 0)));
    CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
    const std::span<const QmAccelerator> expected = GetAccelerators();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].cmd, expected[i].id) << i;
        EXPECT_EQ(entries[i].key, expected[i].key) << i;
        const BYTE modifiers = FVIRTKEY | ((expected[i].modifiers & kAccelCtrl) ? FCONTROL : 0) |
                               ((expected[i].modifiers & kAccelShift) ? FSHIFT : 0);
        EXPECT_EQ(entries[i].fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), modifiers) << i;
    }
    for (uint32_t id : {ID_TASK_STOP, ID_TASK_RELOCATE, ID_TASK_VERIFY_ALL, ID_EDIT_NEXT_PROBLEM, ID_FILE_NEW,
                        ID_FILE_OPEN, ID_FILE_SAVE, ID_EDIT_FIND, ID_APP_ABOUT}) {
        wchar_t text[256] = {};
        LoadStringW(kModule, id, text, 256);
        EXPECT_EQ(FromWide(text), GetCommandString(id).value_or(u"(none)")) << id;
    }
}

TEST(ResourcesTest, TheToolbarAndTheContextMenuAreTheTables) {
    const HRSRC found = FindResourceW(kModule, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(RT_QM_TOOLBAR));
    ASSERT_TRUE(found);
    const auto* words = static_cast<const WORD*>(LockResource(LoadResource(kModule, found)));
    EXPECT_EQ(words[1], 16);
    EXPECT_EQ(words[2], 15);
    std::vector<uint32_t> buttons(words + 4, words + 4 + words[3]);
    std::vector<uint32_t> expected;
    // The table has the leading gap the frame adds in front.
    for (const QmToolbarEntry& entry : GetToolbar().subspan(1)) expected.push_back(entry.id);
    EXPECT_EQ(buttons, expected);

    const win32::UniqueMenu menu(LoadMenuW(kModule, MAKEINTRESOURCEW(IDR_ITEM_MENU)));
    ASSERT_TRUE(menu);
    const HMENU popup = GetSubMenu(menu.Get(), 0);
    std::vector<std::u16string> shown;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        if (const HMENU copy = GetSubMenu(popup, i)) {
            EXPECT_EQ(MenuText(popup, static_cast<UINT>(i)), kCopySubmenuText);
            for (int j = 0; j < GetMenuItemCount(copy); ++j) shown.push_back(u"+" + MenuText(copy, static_cast<UINT>(j)));
        } else {
            shown.push_back(MenuText(popup, static_cast<UINT>(i)));
        }
    }
    std::vector<std::u16string> table;
    for (const QmItemMenuEntry& entry : GetItemMenu()) {
        table.push_back(entry.id == 0 ? u"" : (entry.inCopySubmenu ? u"+" : u"") + std::u16string(entry.text));
    }
    EXPECT_EQ(shown, table);
}

TEST(ResourcesTest, TheImagesTheSoundTheDialogsAndTheManifestAreThere) {
    const win32::UniqueBitmap strip(
        static_cast<HBITMAP>(LoadImageW(kModule, MAKEINTRESOURCEW(IDB_TOOLBAR), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    ASSERT_TRUE(strip);
    BITMAP info{};
    GetObjectW(strip.Get(), sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 8 * 16);
    EXPECT_EQ(info.bmHeight, 15);
    EXPECT_EQ(info.bmBitsPixel, 32);
    for (int id : {IDR_MAINFRAME, IDI_HASH_LIST}) {
        for (int size : {16, 32, 48, 256}) {
            const win32::UniqueIcon icon(
                static_cast<HICON>(LoadImageW(kModule, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
            EXPECT_TRUE(icon) << id << " " << size;
        }
    }
    const HRSRC wave = FindResourceW(kModule, MAKEINTRESOURCEW(IDR_COMPLETE_SOUND), L"WAVE");
    ASSERT_TRUE(wave);
    const auto* riff = static_cast<const char*>(LockResource(LoadResource(kModule, wave)));
    EXPECT_EQ(std::string(riff, 4), "RIFF");
    for (int dialog : {IDD_NEW_TASK, IDD_ABOUT, IDD_FIND}) {
        EXPECT_TRUE(FindResourceW(kModule, MAKEINTRESOURCEW(dialog), RT_DIALOG)) << dialog;
    }
    const HRSRC manifest = FindResourceW(kModule, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(manifest);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(kModule, manifest))),
                           SizeofResource(kModule, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("<dpiAware>true</dpiAware>"), std::string::npos);
}

}  // namespace
}  // namespace qm
