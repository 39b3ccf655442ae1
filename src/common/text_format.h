// printf-style formatting of UTF-16 texts.
//
// Every message of the program is a format text with "%s", "%u", "%08X" and
// the like, filled in with paths and numbers. The arguments are captured in a
// small tagged value, so a wrong argument type cannot read past the argument
// list as C varargs would: "%s" with a number prints the number, a missing
// argument prints nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace qm {

class FormatArg {
public:
    enum class Kind { Text, Signed, Unsigned, Char };

    FormatArg(std::u16string_view text) : kind_(Kind::Text), text_(text) {}
    FormatArg(const std::u16string& text) : kind_(Kind::Text), text_(text) {}
    FormatArg(const char16_t* text) : kind_(Kind::Text), text_(text ? text : u"") {}
    FormatArg(char16_t c) : kind_(Kind::Char), unsigned_(c) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, char16_t> &&
                                            !std::is_same_v<T, bool>, int> = 0>
    FormatArg(T value) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = value;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = value;
        }
    }

    Kind kind() const { return kind_; }
    std::u16string_view text() const { return text_; }
    int64_t asSigned() const { return kind_ == Kind::Signed ? signed_ : static_cast<int64_t>(unsigned_); }
    uint64_t asUnsigned() const { return kind_ == Kind::Signed ? static_cast<uint64_t>(signed_) : unsigned_; }

private:
    Kind kind_ = Kind::Unsigned;
    std::u16string_view text_;
    int64_t signed_ = 0;
    uint64_t unsigned_ = 0;
};

// Conversions: %s %c %d %i %u %x %X %o %%, with the flags '-', '0', '+', ' ',
// a width and a precision (digits or '*' is not supported: widths are part of
// the fixed texts). Length modifiers (h, l, ll, I64, z, j, t) are accepted and
// ignored because every argument carries its own type.
std::u16string FormatTextV(std::u16string_view format, std::span<const FormatArg> args);

template <class... Args>
std::u16string FormatText(std::u16string_view format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return FormatTextV(format, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return FormatTextV(format, list);
    }
}

}  // namespace qm
