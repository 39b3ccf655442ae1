// The lexical rules of the system's paths: which characters separate
// components, how long the root of a path is, and whether two path texts
// name the same thing.
//
// Linux: '/' alone separates, the root is a leading '/', and names compare
// exactly (the file systems are case-sensitive; folding case would join two
// different directories). Windows: '\' and '/' both separate and '\' is
// written; a root is a drive ("C:\"), a share ("\\server\share\"), or one of
// those behind the "\\?\" or "\\.\" prefixes; names compare ignoring the case
// of the letters A to Z, as the file system does for the names it was given.
//
// Everything here is inline: the path helpers call it per character.
#pragma once

#include <cstring>
#include <cstddef>
#include <string_view>
#include <type_traits>

namespace qm::os {

#if defined(_WIN32)

inline constexpr char16_t kPathSeparator = u'\\';
inline constexpr bool kPathsIgnoreCase = true;

constexpr bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

constexpr char16_t FoldPathChar(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

namespace detail {

constexpr bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The end of the component that starts at `pos` (the next separator or the end).
constexpr size_t ComponentEnd(std::u16string_view path, size_t pos) {
    while (pos < path.size() && !IsPathSeparator(path[pos])) ++pos;
    return pos;
}

// "\\server\share" from `pos` (after the two leading separators): the end of
// the share name.
constexpr size_t ShareEnd(std::u16string_view path, size_t pos) {
    const size_t server = ComponentEnd(path, pos);
    if (server >= path.size()) return server;
    return ComponentEnd(path, server + 1);
}

}  // namespace detail

// The length of the root, its trailing separator included: "C:\x" -> 3,
// "C:x" -> 2 (a drive-relative path), "\x" -> 1, "\\srv\share\x" -> 12,
// "\\?\C:\x" -> 7, "\\?\UNC\srv\share\x" -> 18, "\\.\PhysicalDrive0" -> the
// whole device name, "x" -> 0.
constexpr size_t PathRootLength(std::u16string_view path) {
    using detail::ComponentEnd;
    using detail::IsDriveLetter;
    using detail::ShareEnd;
    auto withSeparator = [&path](size_t end) { return end < path.size() && IsPathSeparator(path[end]) ? end + 1 : end; };
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') return withSeparator(2);
    if (path.empty() || !IsPathSeparator(path[0])) return 0;
    if (path.size() < 2 || !IsPathSeparator(path[1])) return 1;
    // Two leading separators: a share, or a "\\?\" / "\\.\" prefix.
    if (path.size() >= 4 && (path[2] == u'?' || path[2] == u'.') && IsPathSeparator(path[3])) {
        const std::u16string_view rest = path.substr(4);
        if (rest.size() >= 2 && IsDriveLetter(rest[0]) && rest[1] == u':') return withSeparator(6);
        if (rest.size() >= 3 && FoldPathChar(rest[0]) == u'u' && FoldPathChar(rest[1]) == u'n' &&
            FoldPathChar(rest[2]) == u'c' && (rest.size() == 3 || IsPathSeparator(rest[3])))
            return withSeparator(ShareEnd(path, 8));
        return withSeparator(ComponentEnd(path, 4));  // a device: "\\.\PhysicalDrive0"
    }
    return withSeparator(ShareEnd(path, 2));
}

// Absolute: a drive with its separator, a share, or a prefixed path. "\x"
// (the current drive's root) and "C:x" (the drive's current directory) are
// relative to something the process holds.
constexpr bool PathIsAbsolute(std::u16string_view path) {
    if (path.size() >= 3 && detail::IsDriveLetter(path[0]) && path[1] == u':') return IsPathSeparator(path[2]);
    return path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
}

#else

inline constexpr char16_t kPathSeparator = u'/';
inline constexpr bool kPathsIgnoreCase = false;

constexpr bool IsPathSeparator(char16_t c) { return c == u'/'; }

constexpr char16_t FoldPathChar(char16_t c) { return c; }

constexpr size_t PathRootLength(std::u16string_view path) { return !path.empty() && path[0] == u'/' ? 1 : 0; }

constexpr bool PathIsAbsolute(std::u16string_view path) { return !path.empty() && path[0] == u'/'; }

#endif

constexpr bool PathCharsEqual(char16_t a, char16_t b) {
    return FoldPathChar(a) == FoldPathChar(b) || (IsPathSeparator(a) && IsPathSeparator(b));
}

// Whether two path texts are the same text under the system's rules (no
// normalisation: "a\.\b" and "a\b" differ).
constexpr bool PathTextEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    // The same code units are the same text under any rule; most calls (a
    // folder against the paths below it) are such.
    if (!std::is_constant_evaluated() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0) return true;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!PathCharsEqual(a[i], b[i])) return false;
    }
    return true;
}

// A hash of a path text that agrees with PathTextEqual.
inline size_t PathTextHash(std::u16string_view text) {
    size_t h = 14695981039346656037ull;
    for (char16_t c : text) {
        const char16_t k = IsPathSeparator(c) ? kPathSeparator : FoldPathChar(c);
        h = (h ^ k) * 1099511628211ull;
    }
    return h;
}

// Functors for hashed containers keyed by path text.
struct PathTextHasher {
    size_t operator()(std::u16string_view text) const { return PathTextHash(text); }
};
struct PathTextEquals {
    bool operator()(std::u16string_view a, std::u16string_view b) const { return PathTextEqual(a, b); }
};

}  // namespace qm::os
