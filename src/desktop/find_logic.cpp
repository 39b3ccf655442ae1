// The list view's find.
#include "desktop/find_logic.h"

namespace qm {

namespace {

std::u16string FoldAscii(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return folded;
}

// `needle` is already folded unless the settings match case.
bool MatchesNeedle(std::u16string_view cell, std::u16string_view needle, const QmFindSettings& settings) {
    if (settings.matchCase) return settings.wholeWord ? cell == needle : cell.find(needle) != std::u16string_view::npos;
    const std::u16string folded = FoldAscii(cell);
    return settings.wholeWord ? folded == needle : folded.find(needle) != std::u16string::npos;
}

bool RowMatches(const IQmFindRows& rows, size_t row, size_t columns, std::u16string_view needle,
                const QmFindSettings& settings) {
    for (size_t column = 0; column < columns; ++column) {
        if (MatchesNeedle(rows.GetCellText(row, column), needle, settings)) return true;
    }
    return false;
}

}  // namespace

bool CellMatches(std::u16string_view cell, const QmFindSettings& settings) {
    return MatchesNeedle(cell, settings.matchCase ? settings.text : FoldAscii(settings.text), settings);
}

std::optional<size_t> FindRow(const IQmFindRows& rows, size_t rowCount, std::optional<size_t> firstSelected,
                              const QmFindSettings& settings) {
    // The needle is folded once; every cell as it is read.
    const std::u16string needle = settings.matchCase ? settings.text : FoldAscii(settings.text);
    const size_t columns = rows.GetColumnCount();
    if (settings.down) {
        // Without a selection the search begins at row 0.
        size_t row = 0;
        if (firstSelected) {
            if (*firstSelected >= rowCount) return std::nullopt;
            row = *firstSelected + 1;
        }
        for (; row < rowCount; ++row) {
            if (RowMatches(rows, row, columns, needle, settings)) return row;
        }
        return std::nullopt;
    }
    // Upwards there is nothing before "no selection", and a selection past
    // the last row has nothing in range before it either.
    if (!firstSelected || *firstSelected == 0 || *firstSelected > rowCount) return std::nullopt;
    for (size_t row = *firstSelected; row-- > 0;) {
        if (RowMatches(rows, row, columns, needle, settings)) return row;
    }
    return std::nullopt;
}

QmFindAction CQmFindState::OnFindCommand() {
    if (dialogOpen_) return QmFindAction::RaiseDialog;
    dialogOpen_ = true;
    return QmFindAction::OpenDialog;
}

QmFindAction CQmFindState::OnFindNextCommand() {
    if (searched_ && !settings_.text.empty()) return QmFindAction::Search;
    return OnFindCommand();
}

void CQmFindState::OnDialogFindNext(const QmFindSettings& settings) {
    settings_ = settings;
    if (settings_.text.size() > kFindTextMaxLength) settings_.text.resize(kFindTextMaxLength);
    searched_ = true;
}

}  // namespace qm
