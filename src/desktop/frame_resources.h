// The main window's menu, toolbar, accelerators, command strings and
// command-state rows as data.
//
// A front end builds its widgets from these tables, so every front end shows
// the same texts in the same order and binds the same keys; the texts are
// kept exactly as the window shows them ("\t" separates a menu item's label
// from its shortcut column).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qm {

// One entry of a menu popup: a command item, or a separator (id 0).
struct QmMenuItem {
    std::u16string_view text;  // "新建(&N)\tCtrl+N"
    uint32_t id = 0;
};

struct QmMenuPopup {
    std::u16string_view text;  // "文件(&F)"
    std::span<const QmMenuItem> items;
};

// The main menu, popups left to right.
std::span<const QmMenuPopup> GetMainMenu();

// A menu item's text split at its tab: the label with its mnemonic and the
// shortcut column (empty when the text has no tab).
struct QmMenuText {
    std::u16string_view label;
    std::u16string_view shortcut;
};
QmMenuText SplitMenuText(std::u16string_view text);

// One toolbar position: a button (id != 0) or a separator of `width` pixels.
struct QmToolbarEntry {
    uint32_t id = 0;
    int width = 0;        // separators only
    int imageIndex = -1;  // buttons only: index into the 8 toolbar images
    bool hidden = false;  // made, and never shown
};

// The toolbar left to right, with the separator in front.
std::span<const QmToolbarEntry> GetToolbar();
inline constexpr int kToolbarImageCount = 8;

// Keyboard accelerators. Keys use the virtual-key numbers of the platform the
// tables were first written for: letters as their upper-case ASCII code.
inline constexpr uint32_t kAccelCtrl = 1;
inline constexpr uint32_t kAccelShift = 2;
inline constexpr uint32_t kVkInsert = 0x2D;
inline constexpr uint32_t kVkDelete = 0x2E;
inline constexpr uint32_t kVkF3 = 0x72;
inline constexpr uint32_t kVkF6 = 0x75;
inline constexpr uint32_t kVkF8 = 0x77;

struct QmAccelerator {
    uint32_t modifiers = 0;  // kAccelCtrl | kAccelShift
    uint32_t key = 0;
    uint32_t id = 0;
};
std::span<const QmAccelerator> GetAccelerators();

// The command's string ("prompt\ntooltip"), or nothing for an id without one.
std::optional<std::u16string_view> GetCommandString(uint32_t id);
// The status-bar prompt: the string up to its first line break (the whole
// string when it has none); empty without a string.
std::u16string_view GetCommandPrompt(uint32_t id);
// The toolbar tooltip: the string after its first line break, at most 79
// characters; empty when the string has no line break or there is none.
std::u16string_view GetCommandTooltip(uint32_t id);

// The rows of the command-state table, in table order.
std::span<const uint32_t> GetCommandStateRows();

// The file list's context menu, in order; id 0 is a separator. The entries
// marked inCopySubmenu make up the "复制" submenu, which stands where its
// first entry is.
struct QmItemMenuEntry {
    std::u16string_view text;
    uint32_t id = 0;
    bool inCopySubmenu = false;
};
inline constexpr std::u16string_view kCopySubmenuText = u"复制";
std::span<const QmItemMenuEntry> GetItemMenu();

// The longest texts the progress and the totals panes show in ordinary use
// (a task of hours at three-digit speed, and an hour's verification of a
// hundred thousand files with its counts; a million files and terabytes):
// what the panes are made wide enough for.
std::u16string GetLongestProgressText();
std::u16string GetLongestTotalsText();

// The About box's text: the product with its version, an empty line, the
// rights notice; lines separated by "\n".
std::u16string GetAboutText();

}  // namespace qm
