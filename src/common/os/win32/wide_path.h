// The core's UTF-16 paths as the wide-character API takes them.
#pragma once

#include <string>
#include <string_view>

namespace qm::os {

// `path` as a wide string for CreateFileW and its kin. A path of 260
// characters or more (MAX_PATH, the limit of the plain form) is made
// absolute and given the \\?\ prefix (\\?\UNC\server\share for a UNC path),
// which lifts the limit; a path already in that form, or a device path
// (\\.\...), is kept as it is.
std::wstring ToWidePath(std::u16string_view path);

// The text of a wide-character API result as the core keeps it.
inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

}  // namespace qm::os
