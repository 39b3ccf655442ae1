// Small string helpers shared by the hash document, the list writer and the
// item commands: a path relative to a root, digit grouping, and in-place
// character replacement.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The part of `path` below `root`, as a view into `path`, or nothing when
// `path` does not lie under `root`. Names compare by the system's rules
// (exactly on Linux, ignoring the case of A-Z on Windows) and `root` matches
// only at a component boundary: root
// "/data" matches "/data/x" (giving "x") and "/data" itself (giving ""), never
// "/database/x". A trailing '/' on the root changes nothing, the '/' after the
// root is skipped, and an empty root gives the whole path.
std::optional<std::u16string_view> GetRelativePath(std::u16string_view path, std::u16string_view root);

// Decimal digits grouped by three with ',': 1234567 -> "1,234,567".
std::u16string FormatThousands(uint64_t value);

// Replaces every `from` character of `text` by `to` (filter texts use it to
// turn their tab separators into NUL characters).
void ReplaceChar(std::u16string& text, char16_t from, char16_t to);

}  // namespace qm
