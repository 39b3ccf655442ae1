// The texts the list view's copy commands put on the clipboard, made from
// the selected rows' texts in row order.
//
// Every copied text uses CR LF line breaks and has none at its end, so a
// single row gives exactly its own text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What an empty piece contributes to a copy text.
enum class QmEmptyPiece {
    // Its line break stays: names, paths and hash texts, where a row whose
    // hash is not known yet still takes its line, so the lines keep matching
    // the selected rows.
    KeepLine,
    // Nothing at all: the 115 links, where a row without a link (no hash
    // yet) leaves no blank line behind.
    Skip,
};

// Each piece followed by "\r\n", then the trailing run of '\r' and '\n' of
// the whole text removed (also line breaks that end the last piece itself).
std::u16string JoinCopyLines(const std::vector<std::u16string>& pieces,
                             QmEmptyPiece empty = QmEmptyPiece::KeepLine);

// The hash texts as C source, one array per row that holds a hash:
//
//   const unsigned char MD5_1[16] = {0xD4,0x1D,...,0x7E};
//   <empty line>
//   const unsigned char MD5_2[16] = {...};
//
// `algorithmName` is the catalogue name ("CRC32", "115网盘", ...). Every '|'
// is removed from a text first (the 115 hash joins its two digests with one).
// What remains must be a non-empty, even number of hexadecimal digits;
// anything else (an empty cell, a status or an error text in the hash
// column) makes no array and takes no number, so the arrays are numbered 1,
// 2, ... over the rows that have one. The digits are written in their order
// and letter case as shown, two to a byte. There is no length limit: a long
// text gives its whole array rather than a cut-off one. Line breaks are CR LF,
// arrays are separated by one empty line and the text ends with the last
// "};". No array at all gives an empty text.
std::u16string MakeHashCArrays(std::u16string_view algorithmName, const std::vector<std::u16string>& hashTexts);

}  // namespace qm
