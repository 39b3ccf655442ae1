// printf-style formatting of UTF-16 texts over typed arguments.
#include "common/text_format.h"

#include <algorithm>

namespace qm {
namespace {

struct Conversion {
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
};

void Pad(std::u16string& out, std::u16string_view body, const Conversion& flags, std::u16string_view sign = {}) {
    const size_t length = sign.size() + body.size();
    const size_t fill = flags.width > length ? flags.width - length : 0;
    if (flags.left) {
        out += sign;
        out += body;
        out.append(fill, u' ');
    } else if (flags.zero) {
        out += sign;
        out.append(fill, u'0');
        out += body;
    } else {
        out.append(fill, u' ');
        out += sign;
        out += body;
    }
}

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
    const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    char16_t buffer[64];
    size_t n = 0;
    do {
        buffer[n++] = digits[value % base];
        value /= base;
    } while (value != 0);
    std::u16string text;
    text.reserve(n);
    while (n > 0) text += buffer[--n];
    return text;
}

}  // namespace

std::u16string FormatTextV(std::u16string_view format, std::span<const FormatArg> args) {
    std::u16string out;
    out.reserve(format.size() + 32);
    size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };

    for (size_t i = 0; i < format.size(); ++i) {
        const char16_t c = format[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        if (i + 1 >= format.size()) {  // a lone '%' at the end is printed as it is
            out += c;
            break;
        }
        const size_t start = i;
        Conversion flags;
        ++i;
        for (; i < format.size(); ++i) {
            const char16_t f = format[i];
            if (f == u'-') flags.left = true;
            else if (f == u'0') flags.zero = true;
            else if (f == u'+') flags.plus = true;
            else if (f == u' ') flags.space = true;
            else if (f == u'#') continue;
            else break;
        }
        // Widths and precisions are clamped so a hostile format cannot ask
        // for gigabytes of padding.
        auto number = [&](size_t& value) {
            while (i < format.size() && format[i] >= u'0' && format[i] <= u'9')
                value = std::min<size_t>(value * 10 + (format[i++] - u'0'), 4096);
        };
        number(flags.width);
        if (i < format.size() && format[i] == u'.') {
            flags.hasPrecision = true;
            ++i;
            number(flags.precision);
        }
        // Length modifiers carry no meaning here.
        while (i < format.size()) {
            const char16_t m = format[i];
            if (m == u'h' || m == u'l' || m == u'z' || m == u'j' || m == u't' || m == u'L' || m == u'w') {
                ++i;
            } else if (m == u'I' && i + 2 < format.size() && format[i + 1] == u'6' && format[i + 2] == u'4') {
                i += 3;
            } else if (m == u'I' && i + 2 < format.size() && format[i + 1] == u'3' && format[i + 2] == u'2') {
                i += 3;
            } else {
                break;
            }
        }
        if (i >= format.size()) {  // unfinished conversion: keep the text
            out.append(format.substr(start));
            break;
        }
        const char16_t conv = format[i];
        switch (conv) {
        case u'%':
            out += u'%';
            break;
        case u's':
        case u'S': {
            const FormatArg* a = take();
            std::u16string text;
            if (a) {
                if (a->kind() == FormatArg::Kind::Text) text = a->text();
                else if (a->kind() == FormatArg::Kind::Char) text.assign(1, static_cast<char16_t>(a->asUnsigned()));
                else if (a->kind() == FormatArg::Kind::Signed) text = (a->asSigned() < 0 ? u"-" : u"") +
                    Digits(a->asSigned() < 0 ? 0 - a->asUnsigned() : a->asUnsigned(), 10, false);
                else text = Digits(a->asUnsigned(), 10, false);
            }
            if (flags.hasPrecision && text.size() > flags.precision) text.resize(flags.precision);
            Conversion s = flags;
            s.zero = false;
            Pad(out, text, s);
            break;
        }
        case u'c':
        case u'C': {
            const FormatArg* a = take();
            std::u16string text;
            if (a) {
                if (a->kind() == FormatArg::Kind::Text) text = a->text().substr(0, 1);
                else text.assign(1, static_cast<char16_t>(a->asUnsigned()));
            }
            Conversion s = flags;
            s.zero = false;
            Pad(out, text, s);
            break;
        }
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            const FormatArg* a = take();
            if (!a || a->kind() == FormatArg::Kind::Text) break;
            std::u16string sign;
            uint64_t magnitude;
            if ((conv == u'd' || conv == u'i') && a->asSigned() < 0 && a->kind() == FormatArg::Kind::Signed) {
                sign = u"-";
                magnitude = 0 - a->asUnsigned();
            } else {
                magnitude = (conv == u'd' || conv == u'i') && a->kind() == FormatArg::Kind::Signed
                                ? static_cast<uint64_t>(a->asSigned())
                                : a->asUnsigned();
                // %u/%x of a negative 32-bit value print its 32-bit pattern, as C does.
                if (a->kind() == FormatArg::Kind::Signed && a->asSigned() < 0 && conv != u'd' && conv != u'i' &&
                    a->asSigned() >= INT32_MIN)
                    magnitude &= 0xFFFFFFFFu;
                if (conv == u'd' || conv == u'i') {
                    if (flags.plus) sign = u"+";
                    else if (flags.space) sign = u" ";
                }
            }
            const unsigned base = (conv == u'x' || conv == u'X') ? 16 : conv == u'o' ? 8 : 10;
            std::u16string body = Digits(magnitude, base, conv == u'X');
            Conversion s = flags;
            if (flags.hasPrecision) {
                if (body.size() < flags.precision) body.insert(0, flags.precision - body.size(), u'0');
                s.zero = false;
            }
            Pad(out, body, s, sign);
            break;
        }
        default:  // unknown conversion: printed as written
            out.append(format.substr(start, i - start + 1));
            break;
        }
    }
    return out;
}

}  // namespace qm
