// The operating system's description of an error code.
//
// The error record appends it to every failure text, so it is the system's
// own wording in the user's language: strerror_r in the user's locale on
// Linux, FormatMessageW with the user's language on Windows (codes 12000 to
// 12999 from the internet module's table, where the system keeps them).
#pragma once

#include <cstdint>
#include <string>

namespace qm::os {

// The text for `code` without trailing line breaks. False (and an empty
// `text`) when the system has no text for the code; the error record then
// writes its own "unknown error" text with the number.
bool GetSystemErrorText(uint32_t code, std::u16string& text);

}  // namespace qm::os
