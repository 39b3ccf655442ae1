// The list view's find: the settings of the find dialog, the search over the
// shown rows, and which of "open the dialog", "bring it to the front" and
// "search" the find (Ctrl+F) and find-next (F3) commands mean.
//
// The view gives the file rows in display order and their shown texts; the
// search never wraps, and a search that reaches the first or last row
// without a match leaves the selection alone and tells the user
// kFindFinishedText (information box, owned by the dialog while it is open).
//
// User-interface thread only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

inline constexpr std::u16string_view kFindFinishedText = u"字符串搜索完毕。";
// The search text holds at most this many UTF-16 characters.
inline constexpr size_t kFindTextMaxLength = 255;

struct QmFindSettings {
    std::u16string text;
    bool wholeWord = false;  // the whole cell must equal the text
    bool matchCase = false;  // otherwise ASCII letters are folded, nothing else
    bool down = true;        // towards higher rows

    friend bool operator==(const QmFindSettings&, const QmFindSettings&) = default;
};

// The rows a search runs over: file rows only, 0 .. n-1 in display order.
class IQmFindRows {
public:
    virtual ~IQmFindRows() = default;
    // The number of columns of every row (the view's header count).
    virtual size_t GetColumnCount() const = 0;
    // The text shown in `column` of `row`, whole: it is compared however
    // long it is.
    virtual std::u16string GetCellText(size_t row, size_t column) const = 0;
};

// True when `cell` matches `settings`: with wholeWord equal to the text,
// otherwise containing it; without matchCase after folding the ASCII letters
// of both. An empty text is contained in every cell.
bool CellMatches(std::u16string_view cell, const QmFindSettings& settings);

// The first row after (down) or before (up) `firstSelected` with a matching
// cell in any column; the selected row itself is not searched. Without a
// selection a downward search starts at row 0 and an upward one finds
// nothing. Nothing: the caller shows kFindFinishedText and keeps the
// selection; on a match it selects only that row and scrolls to it.
std::optional<size_t> FindRow(const IQmFindRows& rows, size_t rowCount, std::optional<size_t> firstSelected,
                              const QmFindSettings& settings);

// What the view does for the find and find-next commands.
enum class QmFindAction {
    OpenDialog,   // show the dialog with GetSettings()
    RaiseDialog,  // it is open: bring it to the front
    Search,       // FindRow with GetSettings()
};

// The find settings, the dialog's open state and whether a search has been
// asked for through the dialog. The settings and that flag outlive the
// dialog's closing, so F3 repeats the last search also with the dialog
// closed.
class CQmFindState {
public:
    // Ctrl+F. OpenDialog counts the dialog as open from then on.
    QmFindAction OnFindCommand();
    // F3: Search once the dialog has asked for a search with a non-empty
    // text; before that the same as Ctrl+F, so the dialog opens.
    QmFindAction OnFindNextCommand();
    // The dialog's "find next" with its settings (text cut to
    // kFindTextMaxLength). The caller then searches with GetSettings().
    void OnDialogFindNext(const QmFindSettings& settings);
    // The dialog was closed (Escape, cancel, its close button).
    void OnDialogClosed() { dialogOpen_ = false; }

    bool IsDialogOpen() const { return dialogOpen_; }
    bool HasSearched() const { return searched_; }
    const QmFindSettings& GetSettings() const { return settings_; }

private:
    QmFindSettings settings_;
    bool dialogOpen_ = false;
    bool searched_ = false;
};

}  // namespace qm
