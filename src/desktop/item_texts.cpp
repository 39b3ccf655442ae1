// The copy commands' texts.
#include "desktop/item_texts.h"

#include <string>

#include "common/text_format.h"

namespace qm {

namespace {

void RemoveTrailingLineBreaks(std::u16string& text) {
    const size_t end = text.find_last_not_of(u"\r\n");
    text.erase(end == std::u16string::npos ? 0 : end + 1);
}

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'); }

// The text without its '|', or empty when that is not whole bytes of hex.
std::u16string HexDigitsOf(const std::u16string& text) {
    std::u16string digits;
    digits.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'|') continue;
        if (!IsHexDigit(c)) return {};
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0) return {};
    return digits;
}

}  // namespace

std::u16string JoinCopyLines(const std::vector<std::u16string>& pieces, QmEmptyPiece empty) {
    std::u16string text;
    for (const std::u16string& piece : pieces) {
        if (piece.empty() && empty == QmEmptyPiece::Skip) continue;
        text += piece;
        text += u"\r\n";
    }
    RemoveTrailingLineBreaks(text);
    return text;
}

std::u16string MakeHashCArrays(std::u16string_view algorithmName, const std::vector<std::u16string>& hashTexts) {
    std::u16string result;
    unsigned counter = 1;
    for (const std::u16string& hashText : hashTexts) {
        const std::u16string digits = HexDigitsOf(hashText);
        if (digits.empty()) continue;
        result += FormatText(u"const unsigned char %s_%u[%u] = {", algorithmName, counter,
                             static_cast<unsigned>(digits.size() / 2));
        ++counter;
        for (size_t i = 0; i < digits.size(); i += 2) {
            result += u"0x";
            result += digits[i];
            result += digits[i + 1];
            result += u',';
        }
        result.back() = u'}';
        result += u";\r\n\r\n";
    }
    RemoveTrailingLineBreaks(result);
    return result;
}

}  // namespace qm
