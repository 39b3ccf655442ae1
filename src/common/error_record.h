// The per-thread error record.
//
// Operations report failure by returning false / null and recording a text
// for the calling thread: a context naming the action and the object, one
// ':' and the operating system's description of the error code. The caller
// that talks to the user shows the text; callers in between either pass the
// failure up or replace the context with their own (ReplaceErrorContext).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/os/error_codes.h"
#include "common/text_format.h"

namespace qm {

struct QmErrorInfo {
    uint32_t code = 0;
    std::u16string text;
};

// The OS layer's text for an error code (os/system_error.h), without
// trailing line breaks; false when the system has no text for it.
bool GetSystemErrorMessage(uint32_t code, std::u16string& message);

// Error codes are the system's own (errno values on Linux, Win32 codes on
// Windows; os/error_codes.h names them). Code 0 passed to SetLastErrorText
// means "take the thread's last system error now".
std::u16string SetLastErrorTextV(uint32_t code, std::u16string_view context);
std::u16string SetErrorTextV(uint32_t code, std::u16string_view text);
std::u16string ReplaceErrorContextV(std::u16string_view context);

template <class... Args>
std::u16string SetLastErrorText(uint32_t code, std::u16string_view format, const Args&... args) {
    const uint32_t saved = os::LastErrorCode();  // formatting must not disturb the code taken below
    std::u16string context = FormatText(format, args...);
    os::SetLastErrorCode(saved);
    return SetLastErrorTextV(code, context);
}
inline std::u16string SetLastErrorText(uint32_t code) { return SetLastErrorTextV(code, {}); }

// The same with the code taken from the low 16 bits of an HRESULT-like value.
template <class... Args>
std::u16string SetLastErrorTextFromResult(uint32_t result, std::u16string_view format, const Args&... args) {
    return SetLastErrorText(result & 0xFFFFu, format, args...);
}

// Stores the formatted text exactly, without a system message.
template <class... Args>
std::u16string SetErrorText(uint32_t code, std::u16string_view format, const Args&... args) {
    return SetErrorTextV(code, FormatText(format, args...));
}

// Replaces the context of the stored text, keeping its system message.
template <class... Args>
std::u16string ReplaceErrorContext(std::u16string_view format, const Args&... args) {
    return ReplaceErrorContextV(FormatText(format, args...));
}

std::u16string GetLastErrorText();
uint32_t GetLastErrorCode();

// Keeps the calling thread's recorded error across work whose own failures
// are none of the caller's business (the document's settings access while a
// failed load is about to be shown).
class PreserveLastError {
public:
    PreserveLastError() : code_(GetLastErrorCode()), text_(GetLastErrorText()) {}
    PreserveLastError(const PreserveLastError&) = delete;
    PreserveLastError& operator=(const PreserveLastError&) = delete;
    ~PreserveLastError() { SetErrorTextV(code_, text_); }

private:
    uint32_t code_;
    std::u16string text_;
};

// Frees the calling thread's record (worker threads call it when they end;
// the record is also freed by the thread's exit in any case).
void FreeThreadErrorInfo();

}  // namespace qm
