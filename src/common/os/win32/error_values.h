// Win32 error codes under the names the rest of the program uses. The values
// are those of <winerror.h>; they are spelled out so that this header, which
// every core file reaches through the error record, does not pull in the
// whole Windows API.
#pragma once

#include <cstdint>

namespace qm::os {

inline constexpr uint32_t kErrorNone = 0;
inline constexpr uint32_t kErrorNotFound = 2;            // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t kErrorAccessDenied = 5;        // ERROR_ACCESS_DENIED
inline constexpr uint32_t kErrorInvalidArgument = 87;    // ERROR_INVALID_PARAMETER
inline constexpr uint32_t kErrorAlreadyExists = 183;     // ERROR_ALREADY_EXISTS
inline constexpr uint32_t kErrorBusy = 170;              // ERROR_BUSY
inline constexpr uint32_t kErrorDeadlock = 1131;         // ERROR_POSSIBLE_DEADLOCK
inline constexpr uint32_t kErrorTimedOut = 1460;         // ERROR_TIMEOUT
inline constexpr uint32_t kErrorIsDirectory = 336;       // ERROR_DIRECTORY_NOT_SUPPORTED
inline constexpr uint32_t kErrorNotDirectory = 267;      // ERROR_DIRECTORY
inline constexpr uint32_t kErrorUnsupportedFileKind = 50;  // ERROR_NOT_SUPPORTED
inline constexpr uint32_t kErrorBufferTooSmall = 122;    // ERROR_INSUFFICIENT_BUFFER
inline constexpr uint32_t kErrorNoMemory = 8;            // ERROR_NOT_ENOUGH_MEMORY
inline constexpr uint32_t kErrorNotSupported = 50;       // ERROR_NOT_SUPPORTED
inline constexpr uint32_t kErrorLibraryMissing = 126;    // ERROR_MOD_NOT_FOUND
inline constexpr uint32_t kErrorIllegalSequence = 1113;  // ERROR_NO_UNICODE_TRANSLATION
inline constexpr uint32_t kErrorIo = 1117;               // ERROR_IO_DEVICE
inline constexpr uint32_t kErrorNameTooLong = 206;       // ERROR_FILENAME_EXCED_RANGE

}  // namespace qm::os
