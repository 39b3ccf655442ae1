// A std::filesystem path as the core's path text (UTF-16), whatever the
// system: Linux names are bytes and go through the core's own lossless
// decoding; Windows names are UTF-16 already, written with the system's
// own separator.
#pragma once

#include <filesystem>
#include <string>

#include "common/utf.h"

namespace qm::test {

inline std::u16string PathText(const std::filesystem::path& path) {
#if defined(_WIN32)
    // Tests join "a/b" to a folder; the core writes '\\' throughout.
    return std::filesystem::path(path).make_preferred().u16string();
#else
    return PathFromOs(path.string());
#endif
}

}  // namespace qm::test
