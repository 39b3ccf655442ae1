// UTF-8 <-> UTF-16 conversion and the lossless mapping of file names.
#include "common/utf.h"

#include <cstddef>

namespace qm {
namespace {

// Decodes one well-formed UTF-8 sequence at `p`; returns its length, or 0
// when the bytes there are ill-formed (the Unicode "maximal subpart" rules:
// exact ranges for the second byte exclude over-long forms and surrogates).
size_t DecodeOne(const unsigned char* p, size_t left, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < n) return 0;
    if (p[1] < lo || p[1] > hi) return 0;
    cp = (cp << 6) | (p[1] & 0x3F);
    for (size_t i = 2; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    return n;
}

// Length of the maximal subpart of an ill-formed sequence, so that lossy
// decoding replaces each broken sequence with exactly one U+FFFD.
size_t IllFormedLength(const unsigned char* p, size_t left) {
    const unsigned char b0 = p[0];
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) n = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else return 1;
    size_t i = 1;
    if (i < left && i < n && p[i] >= lo && p[i] <= hi) {
        ++i;
        while (i < left && i < n && (p[i] & 0xC0) == 0x80) ++i;
    }
    return i;
}

// Writes the UTF-8 form of `cp` at `p`; returns the end.
char* PutUtf8(char* p, char32_t cp) {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

void AppendUtf8(std::string& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, PutUtf8(bytes, cp));
}

}  // namespace

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

bool Utf8ToUtf16(std::string_view in, std::u16string& out) {
    out.clear();
    out.reserve(in.size());
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    size_t i = 0;
    while (i < in.size()) {
        if (p[i] < 0x80) {  // ASCII runs dominate hash lists
            out += static_cast<char16_t>(p[i++]);
            continue;
        }
        char32_t cp;
        const size_t n = DecodeOne(p + i, in.size() - i, cp);
        if (n == 0) return false;
        AppendCodePoint(out, cp);
        i += n;
    }
    return true;
}

std::u16string Utf8ToUtf16Lossy(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    size_t i = 0;
    while (i < in.size()) {
        char32_t cp;
        const size_t n = DecodeOne(p + i, in.size() - i, cp);
        if (n == 0) {
            out += u'\uFFFD';
            i += IllFormedLength(p + i, in.size() - i);
        } else {
            AppendCodePoint(out, cp);
            i += n;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    size_t i = 0;
    while (i < in.size()) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t cp;
        const size_t n = DecodeOne(p + i, in.size() - i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

namespace {

// Walks UTF-16 code points, with runs of sixteen ASCII units (most of a
// list's text) handed over whole, in a form the compiler makes vector code;
// `lone` is called for unpaired surrogates.
template <class OnAscii, class OnCodePoint, class OnLone>
void WalkUtf16Runs(std::u16string_view in, OnAscii onAscii, OnCodePoint onCodePoint, OnLone lone) {
    constexpr size_t kRun = 16;
    size_t i = 0;
    while (i < in.size()) {
        if (in.size() - i >= kRun) {
            char16_t any = 0;
            for (size_t k = 0; k < kRun; ++k) any |= in[i + k];
            if ((any & 0xFF80) == 0) {
                onAscii(in.data() + i, kRun);
                i += kRun;
                continue;
            }
        }
        const char16_t c = in[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            onCodePoint(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (in[i + 1] - 0xDC00));
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            lone(c);
            ++i;
        } else {
            onCodePoint(c);
            ++i;
        }
    }
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view in) {
    // Measured first, then written through a pointer: a saved list is
    // megabytes, and growing the text byte by byte costs more than both.
    size_t size = 0;
    WalkUtf16Runs(
        in, [&size](const char16_t*, size_t n) { size += n; },
        [&size](char32_t cp) { size += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; },
        [&size](char16_t) { size += 3; });
    std::string out(size, '\0');
    char* p = out.data();
    const auto put = [&p](char32_t cp) { p = PutUtf8(p, cp); };
    WalkUtf16Runs(
        in,
        [&p](const char16_t* run, size_t n) {
            for (size_t k = 0; k < n; ++k) p[k] = static_cast<char>(run[k]);
            p += n;
        },
        put, [&put](char16_t) { put(0xFFFD); });
    return out;
}

bool HasUnpairedSurrogate(std::u16string_view text) {
    // Asked of every name a list is about to hold; runs of ASCII go past in
    // blocks.
    bool found = false;
    WalkUtf16Runs(text, [](const char16_t*, size_t) {}, [](char32_t) {}, [&found](char16_t) { found = true; });
    return found;
}

std::u16string PathFromOs(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp;
        const size_t n = DecodeOne(p + i, bytes.size() - i, cp);
        if (n == 0) {
            out += static_cast<char16_t>(0xDC00 + p[i]);
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += n;
        }
    }
    return out;
}

std::string PathToOs(std::u16string_view path) {
    // Every file is opened through this; its path is mostly ASCII, which
    // goes across in blocks.
    std::string out;
    out.reserve(path.size() * 3 / 2);
    WalkUtf16Runs(
        path,
        [&out](const char16_t* run, size_t n) {
            const size_t at = out.size();
            out.resize(at + n);
            for (size_t k = 0; k < n; ++k) out[at + k] = static_cast<char>(run[k]);
        },
        [&](char32_t cp) { AppendUtf8(out, cp); },
        [&](char16_t c) {
            if (c >= 0xDC80 && c <= 0xDCFF) out += static_cast<char>(c - 0xDC00);
            else AppendUtf8(out, 0xFFFD);
        });
    return out;
}

}  // namespace qm
