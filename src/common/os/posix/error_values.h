// errno values under the names the rest of the program uses.
#pragma once

#include <cerrno>
#include <cstdint>

namespace qm::os {

inline constexpr uint32_t kErrorNone = 0;
inline constexpr uint32_t kErrorNotFound = ENOENT;
inline constexpr uint32_t kErrorAccessDenied = EACCES;
inline constexpr uint32_t kErrorInvalidArgument = EINVAL;
inline constexpr uint32_t kErrorAlreadyExists = EEXIST;
inline constexpr uint32_t kErrorBusy = EBUSY;
inline constexpr uint32_t kErrorDeadlock = EDEADLK;
inline constexpr uint32_t kErrorTimedOut = ETIMEDOUT;
inline constexpr uint32_t kErrorIsDirectory = EISDIR;
inline constexpr uint32_t kErrorNotDirectory = ENOTDIR;
inline constexpr uint32_t kErrorUnsupportedFileKind = ENODEV;
inline constexpr uint32_t kErrorBufferTooSmall = ENOBUFS;
inline constexpr uint32_t kErrorNoMemory = ENOMEM;
inline constexpr uint32_t kErrorNotSupported = ENOTSUP;
inline constexpr uint32_t kErrorLibraryMissing = ELIBACC;
inline constexpr uint32_t kErrorIllegalSequence = EILSEQ;
inline constexpr uint32_t kErrorIo = EIO;
inline constexpr uint32_t kErrorNameTooLong = ENAMETOOLONG;

}  // namespace qm::os
