#include "document/text_file.h"

#include "common/error_record.h"
#include "common/utf.h"
#include "common/whole_file.h"

namespace qm {

bool DecodeTextData(std::string_view data, int32_t encoding, bool strict, std::u16string& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    const int32_t detected = DetectBom(bytes, data.size());
    int32_t decoding = encoding;
    if (encoding != QM_ENC_AUTO) {
        if (strict && encoding != detected) {
            SetErrorText(0, u"读取文件失败:文件编码信息不匹配。");
            return false;
        }
    } else if (detected != QM_ENC_NONE) {
        decoding = detected;
    } else {
        // The well-formed sequences of the Unicode Standard, byte by byte; a
        // sequence cut off by the end of the file fails too.
        decoding = IsValidUtf8(data) ? QM_ENC_UTF8 : QM_ENC_ANSI;
    }

    // Whatever decoding was chosen, the mark itself is not text.
    const size_t skip = BomOf(detected).size();
    return DecodeText(bytes + skip, data.size() - skip, decoding, text);
}

bool ReadTextFile(std::u16string_view path, int32_t encoding, bool strict, std::u16string& text) {
    std::vector<uint8_t> data;
    size_t size = 0;
    if (!ReadWholeFile(path, data, size, kMaxTextFileSize)) return false;
    return DecodeTextData(std::string_view(reinterpret_cast<const char*>(data.data()), size), encoding, strict, text);
}

void SplitTextLines(std::u16string_view text, std::vector<std::u16string>& lines) {
    SplitText(text, lines, u'\n');
    for (std::u16string& line : lines) {
        size_t end = line.size();
        while (end > 0 && line[end - 1] == u'\r') --end;
        line.resize(end);
    }
}

bool ReadTextLines(std::u16string_view path, int32_t encoding, bool strict, std::vector<std::u16string>& lines) {
    std::u16string text;
    if (!ReadTextFile(path, encoding, strict, text)) return false;
    SplitTextLines(text, lines);
    return true;
}

bool WriteTextFile(std::u16string_view path, int32_t encoding, bool withBom, std::u16string_view text) {
    std::string bytes;
    if (!EncodeText(text, false, encoding, bytes)) return false;
    const std::string_view bom = withBom ? BomOf(encoding) : std::string_view();
    if (WriteWholeFile(path, bom.data(), bom.size(), bytes.data(), bytes.size())) return true;
    // Our own context with the system's reason for the failure. Built from
    // the code rather than by cutting the old text at its first colon, which
    // a path may contain too.
    SetLastErrorText(GetLastErrorCode(), u"写入文件[%s]失败", path);
    return false;
}

bool WriteTextFile(std::u16string_view path, int32_t encoding, bool withBom, const char16_t* text,
                   std::ptrdiff_t length) {
    std::u16string_view view;
    if (text) view = length > 0 ? std::u16string_view(text, static_cast<size_t>(length)) : std::u16string_view(text);
    return WriteTextFile(path, encoding, withBom, view);
}

size_t SplitText(std::u16string_view text, std::vector<std::u16string>& lines, char16_t separator) {
    lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(separator, start);
        if (end == std::u16string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines.size();
}

void TrimLines(std::vector<std::u16string>& lines) {
    constexpr std::u16string_view kBlank = u" \t\r\n";
    for (std::u16string& line : lines) {
        const size_t first = line.find_first_not_of(kBlank);
        if (first == std::u16string::npos) {
            line.clear();
            continue;
        }
        const size_t last = line.find_last_not_of(kBlank);
        line = line.substr(first, last - first + 1);
    }
}

}  // namespace qm
