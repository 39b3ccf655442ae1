#include "common/encoding.h"

#include <new>

#include "common/error_record.h"
#include "common/os/ansi_codepage.h"
#include "common/utf.h"

namespace qm {
namespace {

constexpr char16_t kUnsupported[] = u"转换字符串编码方式失败:不支持的编码方式.";

void AppendUtf16Le(std::u16string_view text, std::string& out) {
    const size_t start = out.size();
    out.resize(start + text.size() * 2);
    char* p = out.data() + start;
    for (const char16_t ch : text) {
        *p++ = static_cast<char>(ch & 0xFF);
        *p++ = static_cast<char>(ch >> 8);
    }
}

}  // namespace

std::string GetAnsiCodePage() { return os::GetAnsiCodePageName(); }

std::string_view BomOf(int32_t encoding) {
    switch (encoding) {
    case QM_ENC_UTF8: return {"\xEF\xBB\xBF", 3};
    case QM_ENC_UTF16LE: return {"\xFF\xFE", 2};
    case QM_ENC_UTF16BE: return {"\xFE\xFF", 2};
    case QM_ENC_UTF32LE: return {"\xFF\xFE\x00\x00", 4};
    case QM_ENC_UTF32BE: return {"\x00\x00\xFE\xFF", 4};
    default: return {};
    }
}

int32_t DetectBom(const void* bytes, size_t size) {
    const std::string_view data(static_cast<const char*>(bytes), bytes ? size : 0);
    for (int32_t id = QM_ENC_UTF8; id <= QM_ENC_UTF32BE; ++id) {
        const std::string_view bom = BomOf(id);
        if (data.size() >= bom.size() && data.substr(0, bom.size()) == bom) return id;
    }
    return QM_ENC_NONE;
}

bool EncodeText(std::u16string_view text, bool withNul, int32_t encoding, std::string& bytes) {
    if (encoding != QM_ENC_ANSI && encoding != QM_ENC_UTF8 && encoding != QM_ENC_UTF16LE) {
        SetErrorText(0, kUnsupported);
        return false;
    }
    std::string out;
    try {
        if (encoding == QM_ENC_ANSI) {
            if (!os::WideToAnsi(text, out)) {
                SetErrorText(0, kUnsupported);
                return false;
            }
        } else if (encoding == QM_ENC_UTF8) {
            out = Utf16ToUtf8(text);
        } else {
            AppendUtf16Le(text, out);
        }
        if (withNul) out.append(encoding == QM_ENC_UTF16LE ? 2 : 1, '\0');
    } catch (const std::bad_alloc&) {
        const uint64_t need = static_cast<uint64_t>(text.size()) * (encoding == QM_ENC_UTF16LE ? 2 : 3) + 2;
        SetErrorText(0, u"转换字符串编码时失败:分配内存失败(%u字节).", need);
        return false;
    }
    bytes = std::move(out);
    return true;
}

bool EncodeText(const char16_t* text, std::ptrdiff_t length, bool withNul, int32_t encoding, std::string& bytes) {
    std::u16string_view view;
    if (text) view = length > 0 ? std::u16string_view(text, static_cast<size_t>(length)) : std::u16string_view(text);
    return EncodeText(view, withNul, encoding, bytes);
}

bool DecodeText(const void* bytes, size_t size, int32_t encoding, std::u16string& text) {
    if (!bytes) size = 0;
    const char* data = static_cast<const char*>(bytes);
    if (encoding == QM_ENC_AUTO) {
        encoding = DetectBom(data, size);
        if (encoding == QM_ENC_NONE) encoding = QM_ENC_UTF8;
    }
    std::u16string out;
    switch (encoding) {
    case QM_ENC_ANSI:
        if (!os::AnsiToWide(data, size, out)) {
            SetErrorText(0, kUnsupported);
            return false;
        }
        break;
    case QM_ENC_UTF8: {
        std::string_view utf8(data, size);
        if (utf8.size() > 2 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
        out = Utf8ToUtf16Lossy(utf8);
        break;
    }
    case QM_ENC_UTF16LE:
        out.resize(size / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<char16_t>(static_cast<uint8_t>(data[2 * i]) |
                                           (static_cast<uint8_t>(data[2 * i + 1]) << 8));
        }
        break;
    default:
        SetErrorText(0, kUnsupported);
        return false;
    }
    text = std::move(out);
    return true;
}

}  // namespace qm
