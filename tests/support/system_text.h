// The system's text for an error code as the error record writes it: the
// system's own description, or, for a code the system has no text for (Wine
// lacks some that Windows has), the record's own "unknown error" text.
#pragma once

#include <cstdint>
#include <string>

#include "common/error_record.h"
#include "common/text_format.h"

namespace qm::test {

inline std::u16string SystemTextFor(uint32_t code) {
    std::u16string text;
    if (!GetSystemErrorMessage(code, text)) text = FormatText(u"未知系统错误0x%08X。", code);
    return text;
}

}  // namespace qm::test
