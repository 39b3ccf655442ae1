// Display forms of file times, durations and byte counts, and the FILETIME
// unit the document keeps modification times in.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace qm {

// FILETIME: 100-ns intervals since 1601-01-01 00:00:00 UTC.
inline constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01 as FILETIME
inline constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ull;

// From a file's st_mtim. Times before 1601 give 0; nanoseconds are truncated
// to the 100-ns unit.
uint64_t FileTimeFromTimespec(const struct timespec& ts);
// Back to a timespec (the nanoseconds are a multiple of 100).
struct timespec TimespecFromFileTime(uint64_t fileTime);

// "2022-01-05 09:03:07": the year with as many digits as it has, the other
// fields two digits each. With `toLocal` the instant is shown in the local
// time zone (with the daylight-saving rule of that date), else in UTC.
// Gives an empty text for a time the C library cannot split.
std::u16string FormatFileTime(uint64_t fileTime, bool toLocal);

// "1 天 0 小时 0 分 5 秒": leading zero units are left out; after the first
// unit shown, every smaller one follows. Seconds are always shown.
std::u16string FormatDuration(uint64_t seconds);

// Compact size text: below 1024 "N 字节"; else three significant digits,
// truncated, in KB, MB, GB, TB, PB or EB (units of 1024): 1536 -> "1.50 KB",
// 10 MiB -> "10.0 MB", 1000 KiB -> "0.97 MB".
std::u16string StrFormatByteSize(uint64_t bytes);

}  // namespace qm
